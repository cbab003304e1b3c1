// What a host accepts of a request that the plug-in makes during an event:
// the delivering bot's handle, a known code and chat mode, zero in every slot
// the request's kind does not use, and its text. The test host and the fuzz
// host both hold every request to it.
#pragma once

#include <cstdint>
#include <string>

#include "host/host_contract.h"
#include "tools/stand_in/host_numbers.h"

namespace kadrel::stand_in {

struct CheckedRequest {
    const char* text = nullptr;  // null when the request is unsound
    std::string fault;           // what is wrong, empty when sound
};

CheckedRequest checkRequest(const BotEvent& request, uint32_t deliveringHandle);

}  // namespace kadrel::stand_in

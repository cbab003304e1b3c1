// The host's end of the callback for the test host and the fuzz host: events
// go to talk with the delivering bot's handle noted, and every request that
// comes back is held to checkRequest and kept, its text copied to the NUL.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_contract.h"
#include "tools/stand_in/event_sender.h"
#include "tools/stand_in/host_records.h"

namespace kadrel::testing {

using Texts = std::vector<std::string>;

struct Request {
    uint32_t handle = 0;
    int32_t code = 0;
    uintptr_t p[5] = {};
    std::string text;

    bool isSay() const { return code == stand_in::requestSay; }
    uint32_t mode() const { return static_cast<uint32_t>(p[0]); }
    uint32_t addressee() const { return static_cast<uint32_t>(p[2]); }
};

// One at a time: the callback has no slot that could tell two apart.
class RequestCollector : public stand_in::EventSender {
public:
    using Talk = std::function<void(BotEvent&)>;
    // Told of every request the host would refuse; the request is kept all the same.
    using Refusal = void (*)(const std::string& fault);

    RequestCollector(Talk talk, Refusal refuse);
    ~RequestCollector();

    // What an init event gives as the callback.
    static uintptr_t callbackSlot();

    std::vector<Request> requests;
    // What the host does on a request once it is kept; a host may answer by
    // sending events of its own from the callback.
    std::function<void(const Request&)> onRequest;
    std::vector<std::string> texts() const;
    void clearRequests() { requests.clear(); }
    // The last line a command gets, with what came before it cleared; empty
    // when the plug-in sends nothing.
    std::string reply(uint32_t handle, const stand_in::PlayerRecord& sender, std::string_view word,
                      std::string_view parameters = "");

private:
    void deliver(BotEvent& event) override;
    uintptr_t callbackAddress() const override { return callbackSlot(); }
    static void KADREL_CALL callback(BotEvent& request);

    Talk talk;
    Refusal refuse;
    uint32_t deliveringHandle = 0;
};

}  // namespace kadrel::testing

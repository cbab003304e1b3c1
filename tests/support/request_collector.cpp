#include "request_collector.h"

#include <cstring>
#include <stdexcept>
#include <utility>

#include "tools/stand_in/request_check.h"

namespace kadrel::testing {

namespace {

RequestCollector* current = nullptr;

}  // namespace

RequestCollector::RequestCollector(Talk talk, Refusal refuse) : talk(std::move(talk)), refuse(refuse) {
    if (current != nullptr) throw std::logic_error("one host at a time");
    current = this;
}

RequestCollector::~RequestCollector() { current = nullptr; }

uintptr_t RequestCollector::callbackSlot() { return reinterpret_cast<uintptr_t>(&RequestCollector::callback); }

void RequestCollector::deliver(BotEvent& event) {
    const uint32_t outer = deliveringHandle;
    deliveringHandle = event.handle;
    talk(event);
    deliveringHandle = outer;
}

void KADREL_CALL RequestCollector::callback(BotEvent& request) {
    const stand_in::CheckedRequest checked = stand_in::checkRequest(request, current->deliveringHandle);
    if (checked.text == nullptr) current->refuse(checked.fault);
    Request& kept = current->requests.emplace_back();
    kept.handle = request.handle;
    kept.code = request.code;
    std::memcpy(kept.p, request.p, sizeof kept.p);
    if (checked.text != nullptr) kept.text = checked.text;
    if (current->onRequest) current->onRequest(Request(kept));
}

std::vector<std::string> RequestCollector::texts() const {
    std::vector<std::string> result;
    for (const Request& request : requests) result.push_back(request.text);
    return result;
}

std::string RequestCollector::reply(uint32_t handle, const stand_in::PlayerRecord& sender, std::string_view word,
                                    std::string_view parameters) {
    clearRequests();
    command(handle, sender, word, parameters);
    return requests.empty() ? "" : requests.back().text;
}

}  // namespace kadrel::testing

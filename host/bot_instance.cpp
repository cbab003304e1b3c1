#include "host/bot_instance.h"

namespace kadrel {

BotInstance::BotInstance(uint32_t handle) : handle(handle), bank(accounts, *this, handle) {}

// The ledger goes without a journal record: this is no reset of credits.
BotInstance::~BotInstance() {
    accounts.clear();
    clearShopItems();
}

void BotInstance::sendRequest(BotEvent request, int textSlot) const {
    if (callback == nullptr || handle == 0) return;
    if (bank.holdsLock() || !heldRequests.empty()) {
        // Without memory for it, a line is dropped rather than sent under
        // the lock: the bank's status lines are raised where nothing may throw.
        try {
            heldRequests.push_back({request, textSlot, CharString(reinterpret_cast<const char*>(request.p[textSlot]))});
        } catch (...) {
        }
        return;
    }
    request.handle = handle;
    callback(request);
}

// A request is taken off the queue before it goes, so that an event the host
// sends from its callback finds the rest still in order.
void BotInstance::sendHeldRequests() {
    while (!heldRequests.empty() && !bank.holdsLock()) {
        HeldRequest held = std::move(heldRequests.front());
        heldRequests.pop_front();
        held.request.p[held.textSlot] = reinterpret_cast<uintptr_t>(held.text.text());
        held.request.handle = handle;
        callback(held.request);
    }
}

namespace {

BotEvent makeRequest(RequestCode code) {
    BotEvent request{};
    request.code = code;
    return request;
}

constexpr int sayText = 3;

BotEvent makeSay(ChatMode mode, uint32_t addressee, const char* text) {
    BotEvent request = makeRequest(RequestSay);
    request.p[0] = mode;
    request.p[1] = 0;  // no sound
    request.p[2] = addressee;
    request.p[sayText] = reinterpret_cast<uintptr_t>(text);
    return request;
}

}  // namespace

void BotInstance::echo(const char* text) const {
    BotEvent request = makeRequest(RequestEcho);
    request.p[0] = reinterpret_cast<uintptr_t>(text);
    sendRequest(request, 0);
}

void BotInstance::sayPrivate(const HostPlayer& player, const char* text) const {
    sendRequest(makeSay(SayPrivate, player.ident, text), sayText);
}

void BotInstance::sayTeam(uint16_t team, const char* text) const { sendRequest(makeSay(SayTeam, team, text), sayText); }

void BotInstance::sayPublic(const char* text) const { sendRequest(makeSay(SayPublic, 0, text), sayText); }

}  // namespace kadrel

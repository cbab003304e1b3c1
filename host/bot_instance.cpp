#include "host/bot_instance.h"

namespace kadrel {

BotInstance::BotInstance(uint32_t handle) : handle(handle), bank(accounts, *this, handle) {}

// The ledger goes without a journal record: this is no reset of credits.
BotInstance::~BotInstance() {
    accounts.clear();
    clearShopItems();
}

void BotInstance::sendRequest(BotEvent& request) const {
    if (callback == nullptr || handle == 0) return;
    request.handle = handle;
    callback(request);
}

namespace {

BotEvent makeRequest(RequestCode code) {
    BotEvent request{};
    request.code = code;
    return request;
}

BotEvent makeSay(ChatMode mode, uint32_t addressee, const char* text) {
    BotEvent request = makeRequest(RequestSay);
    request.p[0] = mode;
    request.p[1] = 0;  // no sound
    request.p[2] = addressee;
    request.p[3] = reinterpret_cast<uintptr_t>(text);
    return request;
}

}  // namespace

void BotInstance::echo(const char* text) const {
    BotEvent request = makeRequest(RequestEcho);
    request.p[0] = reinterpret_cast<uintptr_t>(text);
    sendRequest(request);
}

void BotInstance::sayPrivate(const HostPlayer& player, const char* text) const {
    BotEvent request = makeSay(SayPrivate, player.ident, text);
    sendRequest(request);
}

void BotInstance::sayTeam(uint16_t team, const char* text) const {
    BotEvent request = makeSay(SayTeam, team, text);
    sendRequest(request);
}

void BotInstance::sayPublic(const char* text) const {
    BotEvent request = makeSay(SayPublic, 0, text);
    sendRequest(request);
}

}  // namespace kadrel

#include "tools/stand_in/request_check.h"

namespace kadrel::stand_in {

namespace {

CheckedRequest unsound(std::string fault) { return {nullptr, std::move(fault)}; }

}  // namespace

CheckedRequest checkRequest(const BotEvent& request, uint32_t deliveringHandle) {
    if (deliveringHandle == 0) return unsound("a request outside any event, or from handle 0");
    if (request.handle != deliveringHandle) {
        return unsound("a request carries handle " + std::to_string(request.handle) + " during an event of " +
                       std::to_string(deliveringHandle));
    }
    uintptr_t textSlot = 0;
    if (request.code == requestEcho) {
        if (request.p[1] != 0 || request.p[2] != 0 || request.p[3] != 0 || request.p[4] != 0) {
            return unsound("an echo with unused slots set");
        }
        textSlot = request.p[0];
    } else if (request.code == requestSay) {
        const uintptr_t mode = request.p[0];
        if (mode != sayPublic && mode != sayTeam && mode != sayPrivate) {
            return unsound("unknown chat mode " + std::to_string(mode));
        }
        if (request.p[1] != 0 || request.p[4] != 0) return unsound("a chat line with a sound or a fifth slot");
        if (mode == sayPublic && request.p[2] != 0) return unsound("a public line with an addressee");
        if (request.p[2] > 0xFFFF) return unsound("an addressee wider than 16 bits: " + std::to_string(request.p[2]));
        textSlot = request.p[3];
    } else {
        return unsound("unknown request code " + std::to_string(request.code));
    }
    if (textSlot == 0) return unsound("a request without its text");
    return {reinterpret_cast<const char*>(textSlot), ""};
}

}  // namespace kadrel::stand_in

// The host contract's numbers as the host knows them: event codes, request
// codes, chat modes and the version it sends. Written down here on their own,
// like the record offsets, so that a wrong number in the plug-in's
// declarations shows in the transcripts instead of being sent back to it.
#pragma once

#include <cstdint>

namespace kadrel::stand_in {

enum HostEvent : int32_t {
    eventInit = 0,
    eventTerm = 1,
    eventTick = 2,
    eventArenaEnter = 3,
    eventPlayerDeath = 12,
    eventPlayerPrize = 14,
    eventCommand = 20,
    eventHelp = 21,
    eventFlagVictory = 27,
    eventSoccerGoal = 30,
};

enum HostRequest : int32_t {
    requestEcho = 0,
    requestSay = 1,
};

enum ChatMode : uint32_t {
    sayPublic = 2,
    sayTeam = 4,
    sayPrivate = 5,
};

// Version 6.0, the plug-in's own.
constexpr uint32_t currentVersion = 0x00060000;

}  // namespace kadrel::stand_in

#include "host/bot_instance.h"

namespace kadrel {

namespace {

template <class T>
const T* pointerParameter(uintptr_t slot) {
    return reinterpret_cast<const T*>(slot);
}

// Numbers travel in the low 32 bits of a slot, whatever its width.
uint32_t numberParameter(uintptr_t slot) { return static_cast<uint32_t>(slot); }

}  // namespace

void BotInstance::dispatch(const BotEvent& event) {
    if (disabled) return;
    const uint32_t code = static_cast<uint32_t>(event.code);
    if (code > highestEventCode) return;

    switch (code) {
        case EventInit:
            handshake(event);
            break;
        case EventTerm:
            echo("DLL plugin disconnected.");
            saveBank(termSaveAttempts);
            // The host may run on for long without this bot: its folder must
            // not be held open meanwhile.
            bank.close();
            break;
        case EventTick:
            noticeArrivals();
            countDownToSave();
            break;
        case EventArenaEnter:
            arenaName = pointerParameter<char>(event.p[0]);
            arenaContext = pointerParameter<void>(event.p[1]);
            break;
        case EventArenaData:
            arenaData = pointerParameter<void>(event.p[0]);
            break;
        case EventArenaLeave:
            arenaContext = nullptr;
            break;
        case EventPlayerDeath:
            // A host that sends no player record gets nothing paid rather
            // than a crash in its own process.
            if (event.p[0] != 0 && event.p[1] != 0) {
                rewardDeath(*pointerParameter<HostPlayer>(event.p[0]), *pointerParameter<HostPlayer>(event.p[1]));
            }
            break;
        case EventPlayerPrize:
            if (event.p[0] != 0) {
                rewardPrize(*pointerParameter<HostPlayer>(event.p[0]),
                            static_cast<int32_t>(numberParameter(event.p[1])));
            }
            break;
        case EventCommand:
            handleCommand(pointerParameter<HostPlayer>(event.p[0]), pointerParameter<ChatCommand>(event.p[1]));
            break;
        case EventHelp:
            showHelp(pointerParameter<HostPlayer>(event.p[0]), pointerParameter<ChatCommand>(event.p[1]));
            break;
        case EventFlagVictory:
            rewardFlagVictory(numberParameter(event.p[0]));
            break;
        case EventSoccerGoal:
            rewardSoccerGoal(numberParameter(event.p[0]));
            break;
        default:
            break;
    }
}

void BotInstance::handshake(const BotEvent& event) {
    // The callback comes first, whatever the version, so that a refusal can
    // still be sent.
    callback = reinterpret_cast<HostCallback>(event.p[1]);
    playerList = pointerParameter<HostList>(event.p[2]);
    flagList = pointerParameter<HostList>(event.p[3]);

    const uint32_t version = numberParameter(event.p[0]);
    const uint16_t major = static_cast<uint16_t>(version >> 16);
    const uint16_t minor = static_cast<uint16_t>(version & 0xFFFF);
    if (major > interfaceMajor) {
        echo("DLL plugin cannot connect.  This plugin is out of date.");
        disabled = true;
        return;
    }
    if (major < interfaceMajor || minor < interfaceMinor) {
        echo("DLL plugin cannot connect.  This plugin requires the latest version of Quorlen.");
        disabled = true;
        return;
    }
    echo("DLL plugin connected.");
    echo("Loading data...");
    loadBank();
    loadShopItems();
    loadRewards();
    echo("Data loaded");
}

// Every tick also brings the journal's latest records to the disk, so that a
// power cut loses at most one tick of changes.
void BotInstance::countDownToSave() {
    bank.makeDurable();
    if (--saveCountdown != 0) return;
    // Set again first: a save that fails part-way must not stop the later ones.
    saveCountdown = saveInterval;
    saveBank();
}

}  // namespace kadrel

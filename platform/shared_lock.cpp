// The journal's lock as this process keeps count of it: a bot that asks for
// it while another bot of the process holds it must not wait for ever, since
// the holder may be waiting on the host, which is waiting on this bot.
#include <atomic>

#include "platform/platform.h"

namespace kadrel::platform {

namespace {

std::atomic<int> locksHeldHere{0};

constexpr int heldHereTries = 10;
constexpr uint32_t heldHerePause = 10;  // milliseconds

}  // namespace

bool SharedFile::lock() {
    if (locked) return true;
    bool taken = false;
    if (locksHeldHere.load() == 0) {
        taken = waitForLock();
    } else {
        for (int attempt = 0; attempt < heldHereTries && !taken; ++attempt) {
            if (attempt > 0) sleepMilliseconds(heldHerePause);
            taken = lockNow();
        }
    }
    if (taken) {
        locked = true;
        ++locksHeldHere;
    }
    return taken;
}

bool SharedFile::tryLock() {
    if (locked) return true;
    if (!lockNow()) return false;
    locked = true;
    ++locksHeldHere;
    return true;
}

void SharedFile::unlock() {
    if (!locked) return;
    releaseLock();
    locked = false;
    --locksHeldHere;
}

}  // namespace kadrel::platform

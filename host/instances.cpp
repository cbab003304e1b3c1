// The exported entry point and the process-wide list of bot instances. The
// list is a static object: it is built empty when the library is loaded and
// destroyed, freeing every instance, when the library is unloaded.
#include <new>

#include "host/instances.h"

#include "host/bot_instance.h"

namespace kadrel {

namespace {

ChainList<BotInstance> instances;

BotInstance* findInstance(uint32_t handle) {
    for (BotInstance& instance : instances) {
        if (instance.handle == handle) return &instance;
    }
    return nullptr;
}

}  // namespace

void destroyInstances() { instances.clear(); }

}  // namespace kadrel

void KADREL_CALL talk(BotEvent& event) {
    using kadrel::BotInstance;
    BotInstance* instance = kadrel::findInstance(event.handle);
    if (instance == nullptr) {
        // Without memory for a new instance the event is dropped; the next
        // event of the handle tries again.
        try {
            instance = new BotInstance(event.handle);
            kadrel::instances.append(instance);
        } catch (...) {
            return;
        }
    }
    // Nothing may unwind into the host: a failure ends this event's handling.
    try {
        instance->dispatch(event);
    } catch (...) {
    }
    try {
        instance->sendHeldRequests();
    } catch (...) {
    }
}

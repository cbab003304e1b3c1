// The process-wide list of bot instances, seen from inside the plug-in's own
// code (the host reaches it only through talk).
#pragma once

namespace kadrel {

// Frees every bot instance, as the unload of the library does: each clears its
// ledger and then its catalogue, and nothing is saved. Programs that link the
// plug-in's code statically (the fuzzers) call it to start each input from a
// freshly loaded library.
void destroyInstances();

}  // namespace kadrel

// One side of a turn on a journal's lock, for a test that runs the two sides
// as two programs, one of them under Wine.
//   lock_turns hold FILE: takes the lock, makes "held", waits for "asking",
//     lets a second pass, makes "released" and lets the lock go.
//   lock_turns ask FILE: once "held" exists, makes "asking" and waits for the
//     lock; exits 1 when it got it before "released" existed.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace {

using namespace kadrel::platform;

bool exists(const char* name) { return stampOf(name).state != FileState::Missing; }

bool make(const char* name) { return replaceFile(name, "", 0); }

// A minute at most, as a test must end.
bool awaitFile(const char* name) {
    for (int waited = 0; waited < 600; ++waited) {
        if (exists(name)) return true;
        sleepMilliseconds(100);
    }
    std::fprintf(stderr, "lock_turns: %s never appeared\n", name);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "hold") != 0 && std::strcmp(argv[1], "ask") != 0)) {
        std::fprintf(stderr, "usage: lock_turns hold|ask FILE\n");
        return 2;
    }
    SharedFile file;
    if (file.open(argv[2]) != SharedFile::Opened::Ready) return 2;
    if (std::strcmp(argv[1], "hold") == 0) {
        if (!file.lock() || !make("held") || !awaitFile("asking")) return 2;
        sleepMilliseconds(1000);
        if (!make("released")) return 2;
        file.unlock();
        return 0;
    }
    if (!awaitFile("held") || !make("asking") || !file.lock()) return 2;
    if (exists("released")) return 0;
    std::fprintf(stderr, "lock_turns: took the lock while the other side held it\n");
    return 1;
}

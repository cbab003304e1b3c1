// The system calls by which the bank's files are opened, written, flushed,
// cut, renamed and locked, gathered in one table so that a test can make any
// of them fail (a full disk, a failed flush, rename or lock) without root or
// a real fault. Reads, stat, unlink and directory listings do not go
// through it: their failures are tested with files in the state that makes
// them fail. Each half fills it with the system's
// own functions; only tests change an entry, and put it back afterwards.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#endif

namespace kadrel::platform {

#ifdef _WIN32
struct SystemCalls {
    decltype(&CreateFileA) createFile;
    decltype(&WriteFile) writeFile;
    decltype(&FlushFileBuffers) flushFileBuffers;
    decltype(&SetEndOfFile) setEndOfFile;
    decltype(&ReplaceFileA) replaceFile;
    decltype(&MoveFileExA) moveFile;
    decltype(&LockFileEx) lockFile;
};
#else
// Offsets and sizes as 64-bit numbers, whatever the build's off_t.
struct SystemCalls {
    int (*open)(const char* path, int flags, unsigned mode);
    intptr_t (*write)(int descriptor, const void* bytes, size_t size);
    intptr_t (*pwrite)(int descriptor, const void* bytes, size_t size, int64_t offset);
    int (*fsync)(int descriptor);
    int (*fdatasync)(int descriptor);
    int (*ftruncate)(int descriptor, int64_t size);
    int (*rename)(const char* from, const char* to);
    int (*link)(const char* from, const char* to);
    // fcntl's record locks: F_OFD_SETLK, F_OFD_SETLKW.
    int (*lockRange)(int descriptor, int command, struct flock* range);
};
#endif

extern SystemCalls systemCalls;

}  // namespace kadrel::platform

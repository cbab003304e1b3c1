// The few services of the operating system that the plug-in uses. The
// Windows half calls the system's own functions; the POSIX half stands in for
// them so that the plug-in can be built and tested on Linux.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/char_string.h"

namespace kadrel::platform {

// The file of that name in the process's current directory, or "" when the
// path cannot be had (the file then reads as missing).
CharString configFilePath(const char* fileName);

class ProfileText;

// An INI file of the current directory, read key by key as the system's
// profile reader gives each key: the empty text for a missing file, section or
// key, and at most bufferSize - 1 characters. A load reads all its keys
// through one of these. The POSIX half reads and parses the file once, when
// this is made, so that a load sees one version of it; the Windows half asks
// the system for every key.
class ProfileFile {
public:
    explicit ProfileFile(const char* fileName);
    ~ProfileFile();
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    CharString read(const char* section, const char* key, uint32_t bufferSize) const;

private:
    CharString path;
    std::unique_ptr<const ProfileText> parsed;  // POSIX only; none for a missing file
};

// Puts `size` bytes in place of the file at `path` in one atomic step: the
// bytes go to a temporary file beside it, reach the disk, and then replace
// the old file. On failure the old file is left as it was.
bool replaceFile(const char* path, const void* bytes, size_t size);

// Renames a file to a name that must not exist yet; false when it does or the
// rename fails.
bool renameNoReplace(const char* from, const char* to);

}  // namespace kadrel::platform

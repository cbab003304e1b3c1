// The few services of the operating system that the plug-in uses. The
// Windows half calls the system's own functions; the POSIX half stands in for
// them so that the plug-in can be built and tested on Linux.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Puts `size` bytes in place of the file at `path` in one atomic step, as a
// FileReplacement (below) does: the bytes go to a temporary file beside it,
// reach the disk, and then replace the old file, whose mode and owner they
// keep. A read-only file, or anything but a regular file, is not replaced. On
// failure the old file is left as it was.
bool replaceFile(const char* path, const void* bytes, size_t size);

// What lies at a path, as far as a reader of regular files cares.
enum class FileState { Missing, Regular, NotRegular, Unreadable };

// What tells one version of a file from the next without reading it: the
// file's identity, size and times as the system keeps them. Any write,
// replacement or copy over the file gives another stamp; a file copied in
// with the very size and modification time of the one it replaces (a backup
// of it taken later than its last change) is the only one it misses.
struct FileStamp {
    FileState state = FileState::Missing;
    uint64_t size = 0;
    uint64_t identity = 0;  // device and inode; 0 on Windows
    int64_t modified = 0;
    int64_t changed = 0;  // of the inode; 0 on Windows
    bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const char* path);

// Reads a regular file front to back. Opening never waits on a FIFO or
// device and never reads from anything but a regular file; the size is that
// of the file opened, not of whatever the path names a moment later.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    FileState open(const char* path);
    uint64_t size() const { return length; }
    // Exactly `size` bytes from where the last read ended; false at a short read.
    bool read(void* bytes, size_t size);

private:
    intptr_t handle = -1;
    uint64_t length = 0;
};

// A new version of a file, written under a temporary name beside the file it
// replaces and put in its place in one atomic step by commit(). A symbolic
// link at the path is written through: its target is replaced and the link
// stays (on Windows only a link whose target exists). The old file's mode and
// owner are kept; on Windows its owner, access rights and attributes.
// Abandoned without commit(), the temporary file is removed.
class FileReplacement {
public:
    enum class Began { Ready, ReadOnly, NotRegular, Failed };

    FileReplacement() = default;
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // `temporaryName` is a file name without a directory; the file is made in
    // the directory of the file replaced. A read-only file or anything but a
    // regular file at the path is not replaced.
    Began begin(const char* path, const char* temporaryName);
    bool write(const void* bytes, size_t size);
    // Brings the new file to the disk, with the old one's mode; the slow part,
    // which needs no lock. On failure the new file is abandoned.
    bool flush();
    // Renames the new file over the old one (flushing it first when flush()
    // was not called).
    bool commit();

private:
    void abandon();

    intptr_t handle = -1;
    CharString target;
    CharString temporary;
    uint32_t mode = 0;
    int64_t owner = -1;
    int64_t group = -1;
    bool replacesFile = false;  // Windows: a file was at the path when begun
    bool flushed = false;
};

// A file that bots of several processes keep open at once and take turns on
// through an exclusive lock: the bank's journal. Reads and writes name their
// offset; nothing is buffered, so a write reaches the operating system (and
// survives the death of the process) before it returns.
class SharedFile {
public:
    enum class Opened { Ready, NotRegular, Failed };

    SharedFile() = default;
    ~SharedFile();
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    // Opens the regular file at the path for reading and writing, creating it
    // when missing. Never waits on a FIFO or device. A file it creates takes
    // the mode and group of the file at `like`, where there is one, so that
    // whoever may write that file may write this one too.
    Opened open(const char* path, const char* like = nullptr);
    // Whether the open file is still the one at the path: not moved away,
    // removed or replaced by another since it was opened.
    bool isAt(const char* path) const;
    bool isOpen() const { return handle != -1; }
    void close();

    // Waits for the lock. It excludes every other SharedFile of the same file,
    // in this process (each bot opens its own) and in every other. While this
    // process already holds a lock, the holder may be a bot further up this
    // very thread, reached through the host's callback, and can never let go:
    // the lock is then only tried a few times, a short pause apart.
    bool lock();
    // Takes the lock only when nobody holds it; never waits.
    bool tryLock();
    void unlock();

    bool size(uint64_t& bytes) const;
    // Exactly `size` bytes at `offset`; false at a short read.
    bool readAt(uint64_t offset, void* bytes, size_t size) const;
    bool writeAt(uint64_t offset, const void* bytes, size_t size);
    bool truncate(uint64_t size);
    // Everything written so far reaches the disk (fsync, FlushFileBuffers).
    bool flush();

private:
    // The system's lock, as above but for the bookkeeping of this process's
    // locks; one half each.
    bool waitForLock();
    bool lockNow();
    void releaseLock();

    intptr_t handle = -1;
    bool locked = false;
};

// Calls `visit` with the name of every entry of the current directory whose
// name starts with `prefix` and ends with `suffix`.
void forEachFileMatching(const char* prefix, const char* suffix, const std::function<void(const char* name)>& visit);

// Removes every file of the current directory whose name starts with
// `prefix` and ends with `suffix`, but for those a FileReplacement is still
// writing: it locks them as the journal is locked, so that one under Wine and
// a native one are both passed over (on Windows they are unshared as well).
void removeFilesMatching(const char* prefix, const char* suffix);

// Brings the names of the files created in the current directory to the disk
// (POSIX needs a flush of the directory; Windows none).
bool flushCurrentDirectory();

uint32_t processId();

// Seconds since 1970, UTC, by this machine's clock: what the end of a lease
// is compared with. Only tests set `wallClock` to another clock, and put it
// back afterwards.
int64_t nowSeconds();
extern int64_t (*wallClock)();

void sleepMilliseconds(uint32_t milliseconds);

// Renames a file to a name that must not exist yet; false when it does or the
// rename fails.
bool renameNoReplace(const char* from, const char* to);

}  // namespace kadrel::platform

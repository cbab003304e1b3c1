// 64-bit file offsets and inode numbers on 32-bit hosts too: without them
// readdir gives up on large file systems and pread stops at 2 GB.
#define _FILE_OFFSET_BITS 64

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/profile_parser.h"
#include "platform/system_calls.h"

namespace kadrel::platform {

SystemCalls systemCalls = {
    [](const char* path, int flags, unsigned mode) { return ::open(path, flags, static_cast<mode_t>(mode)); },
    [](int descriptor, const void* bytes, size_t size) {
        return static_cast<intptr_t>(::write(descriptor, bytes, size));
    },
    [](int descriptor, const void* bytes, size_t size, int64_t offset) {
        return static_cast<intptr_t>(::pwrite(descriptor, bytes, size, static_cast<off_t>(offset)));
    },
    ::fsync,
    ::fdatasync,
    [](int descriptor, int64_t size) { return ::ftruncate(descriptor, static_cast<off_t>(size)); },
    ::rename,
    ::link,
    [](int descriptor, int command, struct flock* range) { return ::fcntl(descriptor, command, range); },
};

CharString configFilePath(const char* fileName) {
    char directory[PATH_MAX];
    if (getcwd(directory, sizeof directory) == nullptr) return CharString();
    CharString path(directory);
    path.append("/");
    path.append(fileName);
    return path;
}

namespace {

// The whole file, or nothing when it is not a readable regular file.
std::optional<std::string> fileContents(const char* path) {
    struct stat status {};
    if (stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return std::nullopt;
    std::string contents;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) != 0) contents.append(chunk, got);
    std::fclose(file);
    return contents;
}

bool writeAll(int descriptor, const void* bytes, size_t size) {
    const char* next = static_cast<const char*>(bytes);
    while (size != 0) {
        const intptr_t written = systemCalls.write(descriptor, next, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        next += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The Windows half's byte, far beyond any end a file reaches (see
// platform_windows.cpp). Wine turns LockFileEx into a record lock on this
// byte, so a bot under Wine and a native program exclude each other. The
// lock belongs to the open file description, as LockFileEx's to the handle:
// two descriptors of one process exclude each other as two processes do.
// F_WRLCK needs a descriptor open for writing; F_RDLCK, one open for reading.
// The journal's lock goes through the table of system calls; the temporary
// files', whose failure only keeps a file a little longer, does not.
bool lockByte(int descriptor, short type, bool wait, bool journal = true) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(0x7FFFFFFFFFFFFFFEll);
    range.l_len = 1;
    for (;;) {
        const int command = wait ? F_OFD_SETLKW : F_OFD_SETLK;
        if ((journal ? systemCalls.lockRange(descriptor, command, &range) : ::fcntl(descriptor, command, &range)) == 0) {
            return true;
        }
        if (errno != EINTR) return false;
    }
}

}  // namespace

ProfileFile::ProfileFile(const char* fileName) : path(configFilePath(fileName)) {
    if (path.empty()) return;
    if (const std::optional<std::string> contents = fileContents(path.text())) {
        parsed = std::make_unique<const ProfileText>(*contents);
    }
}

ProfileFile::~ProfileFile() = default;

CharString ProfileFile::read(const char* section, const char* key, uint32_t bufferSize) const {
    if (parsed == nullptr) return CharString();
    const std::string_view value = parsed->read(section, key, bufferSize);
    return value.empty() ? CharString() : CharString(value.data(), static_cast<uint32_t>(value.size()));
}

namespace {

// Opens without following into a FIFO's wait or a device's side effects:
// O_NONBLOCK makes the open itself return, and only a regular file is kept.
int openRegular(const char* path, int flags, FileState& state) {
    const int descriptor = systemCalls.open(path, flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        state = errno == ENOENT ? FileState::Missing : errno == EISDIR ? FileState::NotRegular : FileState::Unreadable;
        return -1;
    }
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        state = FileState::NotRegular;
        ::close(descriptor);
        return -1;
    }
    // Back to blocking reads and writes, as a regular file behaves anyway.
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    state = FileState::Regular;
    return descriptor;
}

bool readAll(int descriptor, void* bytes, size_t size, off_t offset) {
    char* next = static_cast<char*>(bytes);
    while (size != 0) {
        const ssize_t got = offset < 0 ? ::read(descriptor, next, size) : pread(descriptor, next, size, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        next += got;
        size -= static_cast<size_t>(got);
        if (offset >= 0) offset += got;
    }
    return true;
}

bool writeAllAt(int descriptor, const void* bytes, size_t size, int64_t offset) {
    const char* next = static_cast<const char*>(bytes);
    while (size != 0) {
        const intptr_t written = systemCalls.pwrite(descriptor, next, size, offset);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
        size -= static_cast<size_t>(written);
        offset += written;
    }
    return true;
}

// The file a path finally names: a symbolic link is followed, a dangling one
// to the name it points at, relative to the link's own directory.
std::string finalTarget(const char* path) {
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat status {};
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
        char link[PATH_MAX];
        const ssize_t length = readlink(current.c_str(), link, sizeof link - 1);
        if (length <= 0) return current;
        link[length] = '\0';
        current = link[0] == '/' ? std::string(link) : directoryOf(current) + "/" + link;
    }
    return current;
}

}  // namespace

FileReader::~FileReader() {
    if (handle != -1) ::close(static_cast<int>(handle));
}

FileState FileReader::open(const char* path) {
    FileState state;
    const int descriptor = openRegular(path, O_RDONLY, state);
    if (descriptor < 0) return state;
    struct stat status {};
    if (fstat(descriptor, &status) != 0) {
        ::close(descriptor);
        return FileState::Unreadable;
    }
    handle = descriptor;
    length = static_cast<uint64_t>(status.st_size);
    return FileState::Regular;
}

bool FileReader::read(void* bytes, size_t size) { return readAll(static_cast<int>(handle), bytes, size, -1); }

FileReplacement::~FileReplacement() { abandon(); }

void FileReplacement::abandon() {
    if (handle == -1) return;
    ::close(static_cast<int>(handle));
    handle = -1;
    unlink(temporary.text());
}

FileStamp stampOf(const char* path) {
    FileStamp stamp;
    struct stat status {};
    if (stat(path, &status) != 0) {
        stamp.state = errno == ENOENT || errno == ENOTDIR ? FileState::Missing : FileState::Unreadable;
        return stamp;
    }
    stamp.state = S_ISREG(status.st_mode) ? FileState::Regular : FileState::NotRegular;
    stamp.size = static_cast<uint64_t>(status.st_size);
    stamp.identity =
        static_cast<uint64_t>(status.st_dev) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(status.st_ino);
    stamp.modified = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    stamp.changed = static_cast<int64_t>(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
    return stamp;
}

FileReplacement::Began FileReplacement::begin(const char* path, const char* temporaryName) {
    const std::string finalPath = finalTarget(path);
    struct stat status {};
    mode = 0644;
    if (stat(finalPath.c_str(), &status) == 0) {
        if (!S_ISREG(status.st_mode)) return Began::NotRegular;
        if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Began::ReadOnly;
        mode = status.st_mode & 07777;
        owner = status.st_uid;
        group = status.st_gid;
    } else if (errno != ENOENT) {
        return Began::Failed;
    }
    target = CharString(finalPath.c_str());
    temporary = CharString((directoryOf(finalPath) + "/" + temporaryName).c_str());
    const int descriptor =
        systemCalls.open(temporary.text(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (descriptor < 0) return Began::Failed;
    // Held until the file is renamed or removed: the sweep of a crash's
    // leftovers passes over a file that is still being written.
    lockByte(descriptor, F_WRLCK, false, false);
    handle = descriptor;
    flushed = false;
    return Began::Ready;
}

bool FileReplacement::write(const void* bytes, size_t size) {
    return handle != -1 && writeAll(static_cast<int>(handle), bytes, size);
}

bool FileReplacement::flush() {
    if (handle == -1) return false;
    if (flushed) return true;
    const int descriptor = static_cast<int>(handle);
    // The owner is kept where the process may give the file away (one that
    // may not keeps its own); the mode always.
    if (owner >= 0) {
        [[maybe_unused]] const int given = fchown(descriptor, static_cast<uid_t>(owner), static_cast<gid_t>(group));
    }
    if (fchmod(descriptor, static_cast<mode_t>(mode)) != 0 || systemCalls.fsync(descriptor) != 0) {
        abandon();
        return false;
    }
    flushed = true;
    return true;
}

bool FileReplacement::commit() {
    if (!flush()) return false;
    // Everything that allocates comes before the rename: once the file is
    // replaced, the caller must hear so.
    const std::string directoryPath = directoryOf(target.text());
    const int descriptor = static_cast<int>(handle);
    // The rename comes before the close, so that the file stays locked
    // against the sweep until it has its final name.
    const bool renamed = systemCalls.rename(temporary.text(), target.text()) == 0;
    handle = -1;
    if (::close(descriptor) != 0 || !renamed) {
        if (!renamed) unlink(temporary.text());
        return false;
    }
    // The rename itself reaches the disk only with its directory.
    const int directory = ::open(directoryPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        fsync(directory);
        ::close(directory);
    }
    return true;
}

SharedFile::~SharedFile() { close(); }

SharedFile::Opened SharedFile::open(const char* path, const char* like) {
    close();
    FileState state;
    int descriptor = openRegular(path, O_RDWR, state);
    bool create = descriptor < 0 && state == FileState::Missing;
    if (create) {
        descriptor = openRegular(path, O_RDWR | O_CREAT | O_EXCL, state);
        // Another bot made it first: it is opened as it is.
        if (descriptor < 0 && errno == EEXIST) {
            create = false;
            descriptor = openRegular(path, O_RDWR, state);
        }
    }
    if (descriptor < 0) return state == FileState::NotRegular ? Opened::NotRegular : Opened::Failed;
    struct stat model {};
    if (create && like != nullptr && stat(like, &model) == 0 && S_ISREG(model.st_mode)) {
        // Either may be refused (a group the process is not in); the file
        // then has what the umask gave it, and a second account is told
        // why it cannot open it.
        [[maybe_unused]] const int grouped = fchown(descriptor, static_cast<uid_t>(-1), model.st_gid);
        // Its owner keeps the right to write, which a read-only bank lacks:
        // the journal is written whether or not the bank can be saved.
        [[maybe_unused]] const int moded = fchmod(descriptor, (model.st_mode & 0666) | S_IWUSR);
    }
    handle = descriptor;
    return Opened::Ready;
}

bool SharedFile::isAt(const char* path) const {
    struct stat open {};
    struct stat named {};
    return fstat(static_cast<int>(handle), &open) == 0 && stat(path, &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

void SharedFile::close() {
    if (handle == -1) return;
    unlock();
    ::close(static_cast<int>(handle));
    handle = -1;
}

// Each bot opens the file itself, so two bots of one process exclude each
// other as two processes do.
bool SharedFile::waitForLock() { return lockByte(static_cast<int>(handle), F_WRLCK, true); }

bool SharedFile::lockNow() { return lockByte(static_cast<int>(handle), F_WRLCK, false); }

void SharedFile::releaseLock() { lockByte(static_cast<int>(handle), F_UNLCK, false); }

bool SharedFile::size(uint64_t& bytes) const {
    struct stat status {};
    if (fstat(static_cast<int>(handle), &status) != 0) return false;
    bytes = static_cast<uint64_t>(status.st_size);
    return true;
}

bool SharedFile::readAt(uint64_t offset, void* bytes, size_t size) const {
    return readAll(static_cast<int>(handle), bytes, size, static_cast<off_t>(offset));
}

bool SharedFile::writeAt(uint64_t offset, const void* bytes, size_t size) {
    return writeAllAt(static_cast<int>(handle), bytes, size, static_cast<int64_t>(offset));
}

bool SharedFile::truncate(uint64_t size) {
    return systemCalls.ftruncate(static_cast<int>(handle), static_cast<int64_t>(size)) == 0;
}

bool SharedFile::flush() { return systemCalls.fdatasync(static_cast<int>(handle)) == 0; }

void forEachFileMatching(const char* prefix, const char* suffix, const std::function<void(const char* name)>& visit) {
    // Closed also when `visit` throws.
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(opendir("."), closedir);
    if (directory == nullptr) return;
    const size_t prefixLength = std::strlen(prefix);
    const size_t suffixLength = std::strlen(suffix);
    while (const dirent* entry = readdir(directory.get())) {
        const size_t length = std::strlen(entry->d_name);
        if (length >= prefixLength + suffixLength && std::strncmp(entry->d_name, prefix, prefixLength) == 0 &&
            std::strcmp(entry->d_name + length - suffixLength, suffix) == 0) {
            visit(entry->d_name);
        }
    }
}

void removeFilesMatching(const char* prefix, const char* suffix) {
    forEachFileMatching(prefix, suffix, [](const char* name) {
        const int file = ::open(name, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (file < 0) {
            unlink(name);  // a link or a file without read access: nobody writes through it
            return;
        }
        // A read lock is refused while a writer holds its write lock.
        if (lockByte(file, F_RDLCK, false, false)) unlink(name);
        ::close(file);
    });
}

bool flushCurrentDirectory() {
    const int directory = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) return false;
    const bool flushed = fsync(directory) == 0;
    ::close(directory);
    return flushed;
}

uint32_t processId() { return static_cast<uint32_t>(getpid()); }

void sleepMilliseconds(uint32_t milliseconds) {
    timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

bool renameNoReplace(const char* from, const char* to) {
    // link() refuses an existing name, which rename() would silently replace.
    if (systemCalls.link(from, to) != 0) return false;
    return unlink(from) == 0;
}

}  // namespace kadrel::platform

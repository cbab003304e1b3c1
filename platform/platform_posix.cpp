#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/profile_parser.h"

namespace kadrel::platform {

CharString configFilePath(const char* fileName) {
    char directory[PATH_MAX];
    if (getcwd(directory, sizeof directory) == nullptr) return CharString();
    CharString path(directory);
    path.append("/");
    path.append(fileName);
    return path;
}

namespace {

// The last file parsed, kept while it is unchanged on disk: loading a
// catalogue reads thousands of keys from the same file.
struct ParsedProfile {
    std::string path;
    struct stat status {};
    std::unique_ptr<ProfileText> text;
};

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

const ProfileText* parsedProfile(const char* path) {
    static ParsedProfile cache;
    struct stat status {};
    if (stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
    if (cache.text != nullptr && cache.path == path && sameFile(cache.status, status)) return cache.text.get();

    cache.text.reset();
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return nullptr;
    std::string contents;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) != 0) contents.append(chunk, got);
    std::fclose(file);

    cache.path = path;
    cache.status = status;
    cache.text = std::make_unique<ProfileText>(contents);
    return cache.text.get();
}

bool writeAll(int descriptor, const void* bytes, size_t size) {
    const char* next = static_cast<const char*>(bytes);
    while (size != 0) {
        const ssize_t written = write(descriptor, next, size);
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

}  // namespace

CharString readProfileString(const CharString& path, const char* section, const char* key, uint32_t bufferSize) {
    if (path.empty() || bufferSize == 0) return CharString();
    const ProfileText* text = parsedProfile(path.text());
    const std::string* value = text != nullptr ? text->find(section, key) : nullptr;
    if (value == nullptr) return CharString();
    const size_t kept = value->size() < bufferSize - 1 ? value->size() : bufferSize - 1;
    return CharString(value->data(), static_cast<uint32_t>(kept));
}

bool replaceFile(const char* path, const void* bytes, size_t size) {
    const std::string target(path);
    std::string temporary = target + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) return false;
    const bool written = writeAll(descriptor, bytes, size) && fchmod(descriptor, 0644) == 0 && fsync(descriptor) == 0;
    if (close(descriptor) != 0 || !written || rename(temporary.c_str(), path) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk only with its directory.
    const int directory = open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}

bool renameNoReplace(const char* from, const char* to) {
    // link() refuses an existing name, which rename() would silently replace.
    if (link(from, to) != 0) return false;
    return unlink(from) == 0;
}

}  // namespace kadrel::platform

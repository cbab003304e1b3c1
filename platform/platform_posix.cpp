#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <optional>
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

bool replaceFile(const char* path, const void* bytes, size_t size) {
    // Everything that allocates comes before the rename: once the file is
    // replaced, the caller must hear so.
    const std::string directoryPath = directoryOf(path);
    std::string temporary = std::string(path) + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) return false;
    const bool written = writeAll(descriptor, bytes, size) && fchmod(descriptor, 0644) == 0 && fsync(descriptor) == 0;
    if (close(descriptor) != 0 || !written || rename(temporary.c_str(), path) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk only with its directory.
    const int directory = open(directoryPath.c_str(), O_RDONLY | O_DIRECTORY);
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

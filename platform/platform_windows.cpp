#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/profile_parser.h"

namespace kadrel::platform {

namespace {

constexpr DWORD pathBufferSize = 520;

}  // namespace

CharString configFilePath(const char* fileName) {
    char directory[pathBufferSize];
    const DWORD length = GetCurrentDirectoryA(pathBufferSize, directory);
    if (length == 0 || length >= pathBufferSize) return CharString();
    CharString path(directory, length);
    path.append("\\");
    path.append(fileName);
    // A path that does not fit the reader's buffer is treated as a missing file.
    if (path.size() >= pathBufferSize) return CharString();
    return path;
}

ProfileFile::ProfileFile(const char* fileName) : path(configFilePath(fileName)) {}

ProfileFile::~ProfileFile() = default;

CharString ProfileFile::read(const char* section, const char* key, uint32_t bufferSize) const {
    if (path.empty() || bufferSize == 0) return CharString();
    std::string buffer(bufferSize, '\0');
    const DWORD length = GetPrivateProfileStringA(section, key, "", buffer.data(), bufferSize, path.text());
    return CharString(buffer.data(), length < bufferSize ? length : bufferSize - 1);
}

bool replaceFile(const char* path, const void* bytes, size_t size) {
    const std::string temporary = std::string(path) + ".saving";
    const HANDLE file =
        CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const char* next = static_cast<const char*>(bytes);
    bool written = true;
    while (written && size != 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD done = 0;
        written = WriteFile(file, next, chunk, &done, nullptr) && done == chunk;
        next += done;
        size -= done;
    }
    written = written && FlushFileBuffers(file);
    if (!CloseHandle(file) || !written ||
        !MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

bool renameNoReplace(const char* from, const char* to) { return MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH) != 0; }

}  // namespace kadrel::platform

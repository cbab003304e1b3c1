#include <windows.h>

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/profile_parser.h"
#include "platform/system_calls.h"

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

SystemCalls systemCalls = {
    CreateFileA, WriteFile, FlushFileBuffers, SetEndOfFile, ReplaceFileA, MoveFileExA, LockFileEx,
};

namespace {

HANDLE asHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

constexpr intptr_t noHandle = -1;  // INVALID_HANDLE_VALUE

// The locked byte lies far beyond any end the file reaches: Windows locks are
// mandatory, and a lock on the records would keep other handles from reading
// them even when they only look. Under Wine it is a record lock on the same
// byte, which the POSIX half takes too.
OVERLAPPED lockPlace() {
    OVERLAPPED place{};
    place.Offset = 0xFFFFFFFE;
    place.OffsetHigh = 0x7FFFFFFF;
    return place;
}

// Only a file on a disk is read or written: a pipe or device at the path is
// closed again without a byte read, a directory does not open at all.
bool isRegular(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information;
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileState stateOfFailedOpen(const char* path) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return FileState::Missing;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return FileState::NotRegular;
    }
    return FileState::Unreadable;
}

bool transfer(HANDLE file, uint64_t offset, void* bytes, size_t size, bool writing) {
    char* next = static_cast<char*>(bytes);
    while (size != 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD done = 0;
        const BOOL ok =
            writing ? systemCalls.writeFile(file, next, chunk, &done, &at) : ReadFile(file, next, chunk, &done, &at);
        if (!ok || done == 0) return false;
        next += done;
        size -= done;
        offset += done;
    }
    return true;
}

}  // namespace

FileReader::~FileReader() {
    if (handle != noHandle) CloseHandle(asHandle(handle));
}

FileState FileReader::open(const char* path) {
    const HANDLE file =
        systemCalls.createFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return stateOfFailedOpen(path);
    LARGE_INTEGER size;
    if (!isRegular(file) || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return FileState::NotRegular;
    }
    handle = reinterpret_cast<intptr_t>(file);
    length = static_cast<uint64_t>(size.QuadPart);
    return FileState::Regular;
}

bool FileReader::read(void* bytes, size_t size) {
    char* next = static_cast<char*>(bytes);
    while (size != 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!ReadFile(asHandle(handle), next, chunk, &done, nullptr) || done == 0) return false;
        next += done;
        size -= done;
    }
    return true;
}

FileStamp stampOf(const char* path) {
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        stamp.state =
            error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileState::Missing : FileState::Unreadable;
        return stamp;
    }
    stamp.state = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileState::NotRegular : FileState::Regular;
    stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.modified = static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                          data.ftLastWriteTime.dwLowDateTime);
    return stamp;
}

FileReplacement::~FileReplacement() { abandon(); }

void FileReplacement::abandon() {
    if (handle == noHandle) return;
    CloseHandle(asHandle(handle));
    handle = noHandle;
    DeleteFileA(temporary.text());
}

// A link at the path is followed to the file it names, which is what is
// replaced; a link whose target is missing is left alone, as nothing says
// where its file should go.
FileReplacement::Began FileReplacement::begin(const char* path, const char* temporaryName) {
    replacesFile = false;
    target = CharString(path);
    const HANDLE old =
        systemCalls.createFile(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (old != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION information;
        char finalPath[pathBufferSize];
        const bool regular = isRegular(old) && GetFileInformationByHandle(old, &information);
        const DWORD length =
            regular ? GetFinalPathNameByHandleA(old, finalPath, pathBufferSize, FILE_NAME_NORMALIZED) : 0;
        CloseHandle(old);
        if (!regular) return Began::NotRegular;
        if ((information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) return Began::ReadOnly;
        if (length == 0 || length >= pathBufferSize) return Began::Failed;
        target = CharString(finalPath, length);
        replacesFile = true;
    } else {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Began::NotRegular : Began::Failed;
        }
        if (error != ERROR_FILE_NOT_FOUND) return Began::Failed;
    }
    const std::string finalTarget(target.text());
    const size_t separator = finalTarget.find_last_of("\\/");
    temporary =
        CharString(separator == std::string::npos ? temporaryName
                                                  : (finalTarget.substr(0, separator + 1) + temporaryName).c_str());
    const HANDLE file = systemCalls.createFile(temporary.text(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Began::Failed;
    // Held until the file is closed: the sharing mode keeps the sweep of
    // another Windows program away, the lock a native program's beside Wine.
    OVERLAPPED place = lockPlace();
    systemCalls.lockFile(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place);
    handle = reinterpret_cast<intptr_t>(file);
    flushed = false;
    return Began::Ready;
}

bool FileReplacement::write(const void* bytes, size_t size) {
    const char* next = static_cast<const char*>(bytes);
    while (handle != noHandle && size != 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!systemCalls.writeFile(asHandle(handle), next, chunk, &done, nullptr) || done != chunk) return false;
        next += done;
        size -= done;
    }
    return handle != noHandle;
}

bool FileReplacement::flush() {
    if (handle == noHandle) return false;
    if (flushed) return true;
    if (!systemCalls.flushFileBuffers(asHandle(handle))) {
        abandon();
        return false;
    }
    flushed = true;
    return true;
}

bool FileReplacement::commit() {
    if (!flush()) return false;
    const BOOL closed = CloseHandle(asHandle(handle));
    handle = noHandle;
    const DWORD moveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (!closed) {
        DeleteFileA(temporary.text());
        return false;
    }
    // ReplaceFile keeps the old file's owner, access rights and attributes.
    if (!replacesFile) {
        if (systemCalls.moveFile(temporary.text(), target.text(), moveFlags)) return true;
    } else if (systemCalls.replaceFile(target.text(), temporary.text(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                       nullptr, nullptr)) {
        return true;
    } else if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
               systemCalls.moveFile(temporary.text(), target.text(), moveFlags)) {
        // The old file is already gone: the new one is put in its place
        // plainly rather than leaving no file at all.
        return true;
    }
    DeleteFileA(temporary.text());
    return false;
}

SharedFile::~SharedFile() { close(); }

// Windows gives a new file the access rights of its directory, which are
// what decides whether another account may write it; `like` is not needed.
SharedFile::Opened SharedFile::open(const char* path, const char*) {
    close();
    const HANDLE file = systemCalls.createFile(path, GENERIC_READ | GENERIC_WRITE,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return stateOfFailedOpen(path) == FileState::NotRegular ? Opened::NotRegular : Opened::Failed;
    }
    if (!isRegular(file)) {
        CloseHandle(file);
        return Opened::NotRegular;
    }
    handle = reinterpret_cast<intptr_t>(file);
    return Opened::Ready;
}

bool SharedFile::isAt(const char* path) const {
    const HANDLE named = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION atPath;
    BY_HANDLE_FILE_INFORMATION opened;
    const bool same = GetFileInformationByHandle(named, &atPath) &&
                      GetFileInformationByHandle(asHandle(handle), &opened) &&
                      atPath.dwVolumeSerialNumber == opened.dwVolumeSerialNumber &&
                      atPath.nFileIndexHigh == opened.nFileIndexHigh && atPath.nFileIndexLow == opened.nFileIndexLow;
    CloseHandle(named);
    return same;
}

void SharedFile::close() {
    if (handle == noHandle) return;
    unlock();
    CloseHandle(asHandle(handle));
    handle = noHandle;
}

bool SharedFile::waitForLock() {
    OVERLAPPED place = lockPlace();
    return systemCalls.lockFile(asHandle(handle), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &place) != 0;
}

bool SharedFile::lockNow() {
    OVERLAPPED place = lockPlace();
    return systemCalls.lockFile(asHandle(handle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                                &place) != 0;
}

void SharedFile::releaseLock() {
    OVERLAPPED place = lockPlace();
    UnlockFileEx(asHandle(handle), 0, 1, 0, &place);
}

bool SharedFile::size(uint64_t& bytes) const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(asHandle(handle), &size)) return false;
    bytes = static_cast<uint64_t>(size.QuadPart);
    return true;
}

bool SharedFile::readAt(uint64_t offset, void* bytes, size_t size) const {
    return transfer(asHandle(handle), offset, bytes, size, false);
}

bool SharedFile::writeAt(uint64_t offset, const void* bytes, size_t size) {
    return transfer(asHandle(handle), offset, const_cast<void*>(bytes), size, true);
}

bool SharedFile::truncate(uint64_t size) {
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(asHandle(handle), end, nullptr, FILE_BEGIN) && systemCalls.setEndOfFile(asHandle(handle));
}

bool SharedFile::flush() { return systemCalls.flushFileBuffers(asHandle(handle)) != 0; }

void forEachFileMatching(const char* prefix, const char* suffix, const std::function<void(const char* name)>& visit) {
    const std::string pattern = std::string(prefix) + "*" + suffix;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    // Closed also when `visit` throws.
    const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> closer(search, FindClose);
    const size_t prefixLength = std::string(prefix).size();
    const size_t suffixLength = std::string(suffix).size();
    do {
        // The system's pattern also matches short 8.3 names: check the long one.
        const std::string name = found.cFileName;
        if (name.size() >= prefixLength + suffixLength && name.compare(0, prefixLength, prefix) == 0 &&
            name.compare(name.size() - suffixLength, suffixLength, suffix) == 0) {
            visit(found.cFileName);
        }
    } while (FindNextFileA(search, &found));
}

void removeFilesMatching(const char* prefix, const char* suffix) {
    forEachFileMatching(prefix, suffix, [](const char* name) {
        // A Windows writer's file does not open (no sharing); a native
        // writer's beside Wine opens, but its lock refuses this one.
        const HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            DeleteFileA(name);  // refused too while a Windows writer has it open
            return;
        }
        OVERLAPPED place = lockPlace();
        if (LockFileEx(file, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place)) DeleteFileA(name);
        CloseHandle(file);
    });
}

bool flushCurrentDirectory() { return true; }

uint32_t processId() { return GetCurrentProcessId(); }

void sleepMilliseconds(uint32_t milliseconds) { Sleep(milliseconds); }

bool renameNoReplace(const char* from, const char* to) {
    return systemCalls.moveFile(from, to, MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace kadrel::platform

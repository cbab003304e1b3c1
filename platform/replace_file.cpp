// A whole file written in one atomic step, by the same replacement that
// saves the bank: the bytes reach the disk under a temporary name of this
// process, then take the file's place.
#include <cstring>

#include "platform/platform.h"

namespace kadrel::platform {

bool replaceFile(const char* path, const void* bytes, size_t size) {
    const char* name = path;
    for (const char* next = path; *next != '\0'; ++next) {
        if (*next == '/' || *next == '\\') name = next + 1;
    }
    CharString temporary(name);
    temporary.append(".");
    temporary.appendNumber(static_cast<int32_t>(processId()));
    temporary.append(".saving");
    FileReplacement replacement;
    return replacement.begin(path, temporary.text()) == FileReplacement::Began::Ready &&
           replacement.write(bytes, size) && replacement.commit();
}

}  // namespace kadrel::platform

#include "accounts/bank_format.h"

#include <cstring>

namespace kadrel::bank {

bool nameTerminated(const unsigned char* record) { return std::memchr(record, '\0', nameSize) != nullptr; }

bool terminateName(unsigned char* record) {
    if (nameTerminated(record)) return false;
    record[longestName] = '\0';
    return true;
}

CharString damagedName(const char* path, int32_t attempt) {
    CharString name(path);
    name.append(".damaged");
    if (attempt > 0) {
        name.append(".");
        name.appendNumber(attempt);
    }
    return name;
}

}  // namespace kadrel::bank

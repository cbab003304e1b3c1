#include "accounts/bank_format.h"

#include <cstring>

#include "accounts/name_key.h"

namespace kadrel::bank {

// Word by word rather than byte by byte: a load asks it of every record.
bool nameTerminated(const unsigned char* record) {
    static_assert(nameSize == 20);
    uint64_t first, second;
    uint32_t third;
    std::memcpy(&first, record, 8);
    std::memcpy(&second, record + 8, 8);
    std::memcpy(&third, record + 16, 4);
    using nameKeyDetail::zeroBytes;
    return (zeroBytes(first) | zeroBytes(second) | zeroBytes(third | 0xFFFFFFFF00000000ull)) != 0;
}

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

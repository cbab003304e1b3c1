#include "core/char_string.h"

#include <cstring>
#include <new>

#include "core/text.h"

namespace kadrel {

namespace {

// Every empty string, moved-from ones included, shares this buffer: a move may
// not allocate, and the many empty keys and actions of a catalogue should not
// either. It is never written to nor freed.
char emptyBuffer[1] = {'\0'};

char* allocateBuffer(uint64_t length) {
    if (length == 0) return emptyBuffer;
    // Lengths are 32-bit; a string that would outgrow them is refused as an
    // allocation failure rather than silently cut.
    if (length >= UINT32_MAX) throw std::bad_alloc();
    char* buffer = new char[length + 1];
    buffer[length] = '\0';
    return buffer;
}

void freeBuffer(char* buffer) {
    if (buffer != emptyBuffer) delete[] buffer;
}

}  // namespace

CharString::CharString() : data(allocateBuffer(0)), length(0) {}

CharString::CharString(const char* text) : CharString(text, textLength(text)) {}

CharString::CharString(const char* bytes, uint32_t count) : data(allocateBuffer(count)), length(count) {
    if (count != 0) std::memcpy(data, bytes, count);
}

CharString::CharString(int32_t value) : CharString(formatNumber(static_cast<uint32_t>(value), 10, 0, true)) {}

CharString::CharString(const CharString& other) : CharString(other.data, other.length) {}

CharString::CharString(CharString&& other) noexcept : data(other.data), length(other.length) {
    other.data = emptyBuffer;
    other.length = 0;
}

CharString::~CharString() { freeBuffer(data); }

CharString& CharString::operator=(const CharString& other) {
    assign(other);
    return *this;
}

CharString& CharString::operator=(CharString&& other) noexcept {
    if (this != &other) {
        freeBuffer(data);
        data = other.data;
        length = other.length;
        other.data = emptyBuffer;
        other.length = 0;
    }
    return *this;
}

void CharString::rebuild(const char* head, uint32_t headCount, const char* tail, uint32_t tailCount) {
    char* buffer = allocateBuffer(static_cast<uint64_t>(headCount) + tailCount);
    if (headCount != 0) std::memcpy(buffer, head, headCount);
    if (tailCount != 0) std::memcpy(buffer + headCount, tail, tailCount);
    freeBuffer(data);
    data = buffer;
    length = headCount + tailCount;
}

void CharString::assign(const char* text) { assign(text, textLength(text)); }
void CharString::assign(const CharString& other) { assign(other.data, other.length); }
void CharString::assign(const char* bytes, uint32_t count) { rebuild(bytes, count, nullptr, 0); }

void CharString::append(const char* text) { append(text, textLength(text)); }
void CharString::append(const CharString& other) { append(other.data, other.length); }
void CharString::append(const char* bytes, uint32_t count) { rebuild(data, length, bytes, count); }

void CharString::appendNumber(int32_t value) { append(CharString(value)); }

void CharString::clear() { rebuild(nullptr, 0, nullptr, 0); }

CharString CharString::left(uint32_t count) const { return CharString(data, count < length ? count : length); }

CharString CharString::right(uint32_t count) const {
    const uint32_t kept = count < length ? count : length;
    return CharString(data + (length - kept), kept);
}

CharString CharString::mid(uint32_t start, uint32_t count) const {
    if (start >= length) return CharString();
    const uint32_t available = length - start;
    return CharString(data + start, count < available ? count : available);
}

CharString CharString::trimLeft() const {
    uint32_t start = 0;
    while (start < length && data[start] == ' ') ++start;
    return CharString(data + start, length - start);
}

CharString CharString::trimRight() const {
    uint32_t end = length;
    while (end > 0 && data[end - 1] == ' ') --end;
    return CharString(data, end);
}

CharString CharString::trim() const { return trimLeft().trimRight(); }

CharString CharString::padOrCut(uint32_t width) const {
    if (length >= width) return left(width);
    CharString result;
    char* buffer = allocateBuffer(width);
    std::memcpy(buffer, data, length);
    std::memset(buffer + length, ' ', width - length);
    freeBuffer(result.data);
    result.data = buffer;
    result.length = width;
    return result;
}

bool CharString::equalsNoCase(const char* other) const { return kadrel::equalsNoCase(data, other); }

bool CharString::equalsNoCase(const CharString& other) const {
    return length == other.length && kadrel::equalsNoCase(data, other.data);
}

bool operator==(const CharString& a, const CharString& b) {
    return a.length == b.length && std::memcmp(a.data, b.data, a.length) == 0;
}

}  // namespace kadrel

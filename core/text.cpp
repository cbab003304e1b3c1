#include "core/text.h"

#include <cstring>

namespace kadrel {

uint32_t textLength(const char* text) { return static_cast<uint32_t>(std::strlen(text)); }

char toLowerAscii(char byte) { return (byte >= 'A' && byte <= 'Z') ? static_cast<char>(byte + 0x20) : byte; }

bool equalsNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (toLowerAscii(*a) != toLowerAscii(*b)) return false;
        if (*a == '\0') return true;
    }
}

namespace {

bool isDigit(char byte) { return byte >= '0' && byte <= '9'; }

}  // namespace

bool isNumeric(const char* text) {
    if (*text == '-') ++text;
    if (*text == '\0') return false;
    for (; *text != '\0'; ++text) {
        if (!isDigit(*text)) return false;
    }
    return true;
}

int32_t parseInteger(const char* text, int32_t base) {
    const bool negative = *text == '-';
    if (negative) ++text;
    uint32_t result = 0;
    uint32_t weight = 1;
    for (uint32_t index = textLength(text); index > 0; --index) {
        const auto c = static_cast<int8_t>(toLowerAscii(text[index - 1]));
        const int32_t digit = (c >= '0' && c <= '9') ? c - 48 : c - 87;
        result += static_cast<uint32_t>(digit) * weight;
        weight *= static_cast<uint32_t>(base);
    }
    if (negative) result = 0u - result;
    return static_cast<int32_t>(result);
}

bool isNumericInRange(const char* text) {
    if (!isNumeric(text)) return false;
    const bool negative = *text == '-';
    const char* digits = negative ? text + 1 : text;
    while (digits[0] == '0' && digits[1] != '\0') ++digits;
    const uint32_t count = textLength(digits);
    const char* limit = negative ? "2147483648" : "2147483647";
    if (count != 10) return count < 10;
    return std::strcmp(digits, limit) <= 0;
}

CharString formatNumber(uint32_t value, uint32_t base, uint16_t minimumWidth, bool signFlag) {
    static const char digitSet[] = "0123456789abcdefghijklmnopqrstuv";
    char buffer[40];
    uint32_t start = sizeof buffer;
    if (value == 0) {
        const uint32_t zeros = minimumWidth > 1 ? minimumWidth : 1;
        start -= zeros;
        std::memset(buffer + start, '0', zeros);
        return CharString(buffer + start, zeros);
    }
    const bool negative = signFlag && static_cast<int32_t>(value) < 0;
    uint32_t magnitude = negative ? 0u - value : value;
    while (magnitude != 0) {
        buffer[--start] = digitSet[magnitude % base];
        magnitude /= base;
    }
    while (sizeof buffer - start < minimumWidth) buffer[--start] = '0';
    if (negative) buffer[--start] = '-';
    return CharString(buffer + start, static_cast<uint32_t>(sizeof buffer - start));
}

int32_t findText(const char* text, const char* pattern) {
    const uint32_t textSize = textLength(text);
    const uint32_t patternSize = textLength(pattern);
    if (textSize < patternSize) return -1;
    for (uint32_t index = 0; index <= textSize - patternSize; ++index) {
        if (std::memcmp(text + index, pattern, patternSize) == 0) return static_cast<int32_t>(index);
    }
    return -1;
}

CharString replaceAll(const char* text, const char* pattern, const char* replacement) {
    const uint32_t patternSize = textLength(pattern);
    CharString result;
    for (;;) {
        const int32_t found = findText(text, pattern);
        if (found < 0) break;
        result.append(text, static_cast<uint32_t>(found));
        result.append(replacement);
        text += found + patternSize;
    }
    result.append(text);
    return result;
}

CharString splitAt(CharString& text, char separator) {
    const void* found = std::memchr(text.text(), separator, text.size());
    if (found == nullptr) return text.trim();
    const auto index = static_cast<uint32_t>(static_cast<const char*>(found) - text.text());
    CharString head = text.left(index).trim();
    text = text.mid(index + 1, splitRestLimit).trim();
    return head;
}

}  // namespace kadrel

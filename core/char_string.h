// An owned byte string that always knows its length and always ends in a NUL.
// Every change makes a new buffer of the exact new size; copies never share
// one, except that every empty string reads the same static "".
#pragma once

#include <cstdint>

namespace kadrel {

class CharString {
public:
    CharString();
    CharString(const char* text);  // NOLINT: plain text converts implicitly
    CharString(const char* bytes, uint32_t count);
    explicit CharString(int32_t value);
    CharString(const CharString& other);
    CharString(CharString&& other) noexcept;
    ~CharString();

    CharString& operator=(const CharString& other);
    CharString& operator=(CharString&& other) noexcept;

    const char* text() const { return data; }
    uint32_t size() const { return length; }
    bool empty() const { return length == 0; }
    char operator[](uint32_t index) const { return data[index]; }

    void assign(const char* text);
    void assign(const CharString& other);
    void assign(const char* bytes, uint32_t count);
    void append(const char* text);
    void append(const CharString& other);
    void append(const char* bytes, uint32_t count);
    void appendNumber(int32_t value);
    void clear();

    CharString left(uint32_t count) const;
    CharString right(uint32_t count) const;
    CharString mid(uint32_t start, uint32_t count) const;
    CharString trimLeft() const;
    CharString trimRight() const;
    CharString trim() const;
    CharString padOrCut(uint32_t width) const;

    bool equalsNoCase(const char* other) const;
    bool equalsNoCase(const CharString& other) const;

    friend bool operator==(const CharString& a, const CharString& b);

private:
    // Replaces the buffer by `headCount` bytes of `head` followed by
    // `tailCount` bytes of `tail`; the sources may lie in the old buffer.
    void rebuild(const char* head, uint32_t headCount, const char* tail, uint32_t tailCount);

    char* data;
    uint32_t length;
};

}  // namespace kadrel

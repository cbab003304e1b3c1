#include "commands/split_at.h"

#include <cstring>

namespace kadrel {

CharString splitAt(CharString& text, char separator) {
    const void* found = std::memchr(text.text(), separator, text.size());
    if (found == nullptr) return text.trim();
    const auto index = static_cast<uint32_t>(static_cast<const char*>(found) - text.text());
    CharString head = text.left(index).trim();
    text = text.mid(index + 1, splitRestLimit).trim();
    return head;
}

}  // namespace kadrel

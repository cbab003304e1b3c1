#include "tools/sync/origin_file.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "platform/platform.h"
#include "tools/whole_file.h"

namespace kadrel::tools::sync {

namespace {

constexpr std::string_view prefix = "origin ";
constexpr size_t keyLength = 32;

bool isKey(const std::string& text) {
    return text.size() == keyLength && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

std::optional<std::string> readOriginKey(std::string& failure) {
    std::error_code error;
    if (!std::filesystem::exists(originFileName, error)) return std::nullopt;
    const std::optional<std::string> text = readWholeFile(originFileName);
    if (!text) {
        failure = std::string("cannot read ") + originFileName;
        return std::nullopt;
    }
    const std::string key = text->starts_with(prefix) ? text->substr(prefix.size(), keyLength) : "";
    if (!isKey(key) || *text != std::string(prefix) + key + "\n") {
        failure = std::string(originFileName) + " is not a folder's identity (one line: origin and 32 hexadecimal digits)";
        return std::nullopt;
    }
    return key;
}

bool writeOriginKey(const std::string& key) {
    const std::string line = std::string(prefix) + key + "\n";
    platform::FileReplacement file;
    return file.begin(originFileName, "Quorlen.sync.tmp") == platform::FileReplacement::Began::Ready &&
           file.write(line.data(), line.size()) && file.flush() && file.commit();
}

std::string newOriginKey() {
    std::random_device source;
    std::string key;
    static const char digits[] = "0123456789abcdef";
    while (key.size() < keyLength) {
        const unsigned int bits = source();
        for (int shift = 0; shift < 32 && key.size() < keyLength; shift += 4) key.push_back(digits[(bits >> shift) & 15]);
    }
    return key;
}

}  // namespace kadrel::tools::sync

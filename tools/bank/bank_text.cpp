#include "tools/bank/bank_text.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <stdexcept>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "accounts/name_key.h"
#include "core/text.h"

namespace kadrel::tools {

namespace {

constexpr const char* csvHeader = "name,credits,tail";

std::string hexByte(uint8_t byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02x", byte);
    return text;
}

int hexDigit(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;
}

bool isControl(unsigned char code) { return code < 0x20 || code == 0x7F; }

// Bytes that are shown as escapes: they would be invisible, or taken for
// something else, in a terminal.
bool shownEscaped(unsigned char code) { return isControl(code) || (code >= 0x7F && code <= 0xA0) || code == 0xAD; }

// The bytes after the name's NUL: nothing when they are all zero, as an
// account opened by the plug-in has them.
std::string tailText(const CreditAccount& record) {
    const std::vector<uint8_t> tail = tailOf(record);
    if (std::all_of(tail.begin(), tail.end(), [](uint8_t byte) { return byte == 0; })) return "";
    std::string text;
    for (const uint8_t byte : tail) text += hexByte(byte);
    return text;
}

class LineError : public std::runtime_error {
public:
    LineError(size_t line, const std::string& message)
        : std::runtime_error("line " + std::to_string(line) + ": " + message) {}
};

std::string unescapeName(const std::string& text, size_t line) {
    std::string name;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\0') throw LineError(line, "a name cannot hold a NUL; the bytes after it are the tail");
        if (text[at] != '\\') {
            name += text[at];
            continue;
        }
        if (at + 1 < text.size() && text[at + 1] == '\\') {
            name += '\\';
            ++at;
            continue;
        }
        const int high = at + 3 < text.size() && text[at + 1] == 'x' ? hexDigit(text[at + 2]) : -1;
        const int low = high >= 0 ? hexDigit(text[at + 3]) : -1;
        if (low < 0) throw LineError(line, "a backslash in a name starts \\\\ or \\xNN: " + text);
        if (high == 0 && low == 0) throw LineError(line, "a name cannot hold a NUL; the bytes after it are the tail");
        name += static_cast<char>(high * 16 + low);
        at += 3;
    }
    return name;
}

std::vector<uint8_t> parseTail(const std::string& text, size_t room, size_t line) {
    if (text.empty()) return std::vector<uint8_t>(room, 0);
    if (text.size() != room * 2) {
        throw LineError(line, "the tail holds the " + std::to_string(room) + " bytes after the name's NUL, " +
                                  std::to_string(room * 2) + " hexadecimal digits, not " +
                                  std::to_string(text.size()));
    }
    std::vector<uint8_t> tail;
    for (size_t at = 0; at < text.size(); at += 2) {
        const int high = hexDigit(text[at]);
        const int low = hexDigit(text[at + 1]);
        if (high < 0 || low < 0) throw LineError(line, "the tail is written in hexadecimal digits: " + text);
        tail.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return tail;
}

// Splits CSV text into records of fields, each with the line it starts on.
struct CsvRow {
    size_t line;
    std::vector<std::string> fields;
};

std::vector<CsvRow> splitCsv(const std::string& text) {
    std::vector<CsvRow> rows;
    size_t line = 1;
    size_t at = 0;
    while (at < text.size()) {
        CsvRow row{line, {}};
        while (true) {
            std::string field;
            if (at < text.size() && text[at] == '"') {
                ++at;
                while (true) {
                    if (at >= text.size()) throw LineError(row.line, "a quoted field is not closed");
                    if (text[at] == '"') {
                        if (at + 1 < text.size() && text[at + 1] == '"') {
                            field += '"';
                            at += 2;
                            continue;
                        }
                        ++at;
                        break;
                    }
                    if (text[at] == '\n') ++line;
                    field += text[at++];
                }
                if (at < text.size() && text[at] != ',' && text[at] != '\n' && text[at] != '\r') {
                    throw LineError(line, "text after a closing quote");
                }
            } else {
                while (at < text.size() && text[at] != ',' && text[at] != '\n' && text[at] != '\r') {
                    field += text[at++];
                }
            }
            row.fields.push_back(field);
            if (at < text.size() && text[at] == ',') {
                ++at;
                continue;
            }
            if (at < text.size() && text[at] == '\r') ++at;
            if (at < text.size() && text[at] == '\n') ++at;
            ++line;
            break;
        }
        // Blank lines carry no record.
        if (row.fields != std::vector<std::string>{""}) rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

std::string csvField(const std::string& text) {
    const bool quoted = text.empty() || text.find_first_of(",\"") != std::string::npos || text.front() == ' ' ||
                        text.back() == ' ';
    if (!quoted) return text;
    std::string field = "\"";
    for (const char byte : text) field += byte == '"' ? std::string("\"\"") : std::string(1, byte);
    return field + '"';
}

std::string escapeName(std::string_view name) {
    std::string text;
    for (const char byte : name) {
        const auto code = static_cast<unsigned char>(byte);
        if (byte == '\\') {
            text += "\\\\";
        } else if (code < 0x20 || code >= 0x7F) {
            text += "\\x" + hexByte(code);
        } else {
            text += byte;
        }
    }
    return text;
}

std::string shownName(std::string_view name) {
    std::string text;
    for (const char byte : name) {
        const auto code = static_cast<unsigned char>(byte);
        if (byte == '\\' || shownEscaped(code)) {
            text += escapeName(std::string_view(&byte, 1));
        } else {
            text += latin1AsUtf8(std::string(1, byte));
        }
    }
    return text;
}

std::string typedName(std::string_view text) {
    std::string name;
    for (size_t at = 0; at < text.size(); ++at) {
        const auto code = static_cast<unsigned char>(text[at]);
        const auto next = at + 1 < text.size() ? static_cast<unsigned char>(text[at + 1]) : 0;
        if (text[at] == '\\' && next == '\\') {
            name += '\\';
            ++at;
        } else if (text[at] == '\\' && next == 'x' && at + 3 < text.size() && hexDigit(text[at + 2]) >= 0 &&
                   hexDigit(text[at + 3]) >= 0) {
            name += static_cast<char>(hexDigit(text[at + 2]) * 16 + hexDigit(text[at + 3]));
            at += 3;
        } else if ((code == 0xC2 || code == 0xC3) && next >= 0x80 && next <= 0xBF) {
            name += static_cast<char>((code & 0x03) << 6 | (next & 0x3F));
            ++at;
        } else {
            name += text[at];
        }
    }
    return name;
}

std::string paddedColumn(std::string text, size_t width) {
    const auto characters = static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }));
    if (characters < width) text.append(width - characters, ' ');
    return text;
}

std::string nameRefusal(std::string_view name) {
    if (name.empty()) return "an account name cannot be empty";
    if (name.size() > bank::longestName) return nameLimitText();
    const auto control = std::find_if(name.begin(), name.end(), [](char byte) { return isControl(static_cast<unsigned char>(byte)); });
    if (control != name.end()) {
        return "an account name cannot hold the control character " + escapeName(std::string_view(&*control, 1));
    }
    return "";
}

std::string nameLimitText() {
    return "an account name holds at most " + std::to_string(bank::longestName) + " bytes";
}

void writeCsv(std::ostream& out, const Ledger& records) {
    out << csvHeader << '\n';
    for (const CreditAccount& record : records) {
        out << csvField(escapeName(nameOf(record))) << ',' << record.credits << ',' << tailText(record) << '\n';
    }
}

std::vector<CreditAccount> readCsv(std::istream& in) {
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<CsvRow> rows = splitCsv(text);
    if (rows.empty() || rows.front().fields != std::vector<std::string>{"name", "credits", "tail"}) {
        throw std::runtime_error(std::string("line 1: the first line must be the header ") + csvHeader);
    }
    std::vector<CreditAccount> records;
    std::unordered_map<NameKey, const CsvRow*, NameKeyHash> rowOf;
    for (size_t index = 1; index < rows.size(); ++index) {
        const CsvRow& row = rows[index];
        if (row.fields.size() != 3) {
            throw LineError(row.line, "a record has three fields, name, credits and tail, not " +
                                          std::to_string(row.fields.size()));
        }
        const std::string name = unescapeName(row.fields[0], row.line);
        if (name.size() > bank::longestName) {
            throw LineError(row.line, nameLimitText() + ": " + row.fields[0]);
        }
        // The number test reads up to a NUL, so "12<NUL>abc" must not reach it.
        if (row.fields[1].find('\0') != std::string::npos || !isNumericInRange(row.fields[1].c_str())) {
            throw LineError(row.line, "credits must be a whole number from -2147483648 to 2147483647, not '" +
                                          row.fields[1] + "'");
        }
        const std::vector<uint8_t> tail = parseTail(row.fields[2], bank::longestName - name.size(), row.line);
        records.push_back(makeRecord(name, parseInteger(row.fields[1].c_str(), 10), tail));
        // The plug-in would never find a second record of a name.
        const auto [first, fresh] = rowOf.try_emplace(nameKeyOfText(name.c_str()), &row);
        if (!fresh) {
            throw std::runtime_error("lines " + std::to_string(first->second->line) + " and " +
                                     std::to_string(row.line) + ": " + first->second->fields[0] + " and " +
                                     row.fields[0] + " are one account to the plug-in, which folds capitals");
        }
    }
    return records;
}

void writeJson(std::ostream& out, const Ledger& records) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const CreditAccount& record : records) {
        list.push_back({{"name", latin1AsUtf8(nameOf(record))}, {"credits", record.credits}, {"tail", tailText(record)}});
    }
    out << list.dump(2) << '\n';
}

}  // namespace kadrel::tools

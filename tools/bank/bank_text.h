// The bank's records as text, for people and spreadsheets. Export and import
// round-trip byte for byte: a name is written with its bytes outside
// printable ASCII (and the backslash) as \xNN escapes, and the bytes after its
// NUL, which the plug-in carries along unread, as hexadecimal.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "accounts/name_key.h"
#include "tools/bank/bank_image.h"
#include "tools/bank_view.h"

namespace kadrel::tools {

// For maps keyed by names.
struct NameKeyHash {
    size_t operator()(const NameKey& key) const { return static_cast<size_t>(key.hash()); }
};

// Printable ASCII as it is; a backslash as \\; every other byte as \xNN.
std::string escapeName(std::string_view name);

// A name as a person reads it in a table or a message. The host's names are
// bytes in the game's code page, taken as Latin-1: a byte from 0xA1 up shows as
// its character (Zo\xeb as Zoë); a control byte, 0x7F to 0xA0, the soft hyphen
// and the backslash show as escapeName writes them.
std::string shownName(std::string_view name);

// A name as typed on the command line, back to the bytes shownName showed:
// \\ and \xNN as escapes, the UTF-8 of a Latin-1 character as its byte, and
// every other byte as it is (a name typed in Latin-1 is taken as it stands).
std::string typedName(std::string_view text);

// Text padded with blanks to `width` characters of UTF-8, as a table's column.
std::string paddedColumn(std::string text, size_t width);

// Why the bank tool refuses to open an account of this name, or "": a name the
// plug-in could never have opened (empty, with a control character, or
// longer than an account holds).
std::string nameRefusal(std::string_view name);

// A CSV field, quoted (as in RFC 4180) where it must be or has blanks at an end.
std::string csvField(const std::string& text);

// Why a name longer than an account holds is refused: "an account name holds
// at most 19 bytes", the number being bank::longestName.
std::string nameLimitText();

// The CSV file: a header line "name,credits,tail", then one line per record.
void writeCsv(std::ostream& out, const Ledger& records);

// Reads what writeCsv writes (quoted fields as in RFC 4180, CRLF or LF line
// ends). Throws std::runtime_error naming the line of the first mistake, or
// the two lines of a name given twice.
std::vector<CreditAccount> readCsv(std::istream& in);

// A JSON array of {"name", "credits", "tail"} objects; name bytes from 0x80 up
// are taken as Latin-1, so that every name is valid text.
void writeJson(std::ostream& out, const Ledger& records);

}  // namespace kadrel::tools

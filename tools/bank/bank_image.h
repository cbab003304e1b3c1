// The bank file as the plug-in reads and writes it: a headerless sequence of
// 24-byte records, each 20 name bytes (the name ends at a NUL inside them,
// the bytes after it mean nothing but are kept) and a little-endian signed
// 32-bit balance. A file whose length is not a multiple of 24 is damaged: the
// plug-in loads no account from it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrel::tools {

constexpr size_t bankRecordSize = 24;
constexpr size_t bankNameSize = 20;
constexpr size_t longestAccountName = bankNameSize - 1;

struct BankRecord {
    std::array<uint8_t, bankNameSize> nameBytes{};
    int32_t credits = 0;

    // The bytes before the first NUL (all 20 when there is none).
    std::string name() const;
    bool terminated() const;
    // The bytes after the name's NUL.
    std::vector<uint8_t> tail() const;

    static BankRecord make(std::string_view name, int32_t credits, const std::vector<uint8_t>& tail = {});
};

class BankImage {
public:
    // Reads the file; std::nullopt when it cannot be read.
    static std::optional<BankImage> read(const std::string& path);
    static BankImage fromBytes(const std::vector<uint8_t>& bytes);

    // What makes the file unfit for the plug-in, one line each; empty for a
    // sound file.
    std::vector<std::string> damage() const;
    bool damaged() const { return !damage().empty(); }

    // The whole records with every name ended inside its field: a cut record
    // at the end is dropped and a name without its NUL is cut to 19 bytes.
    BankImage repaired() const;

    const std::vector<BankRecord>& records() const { return accounts; }
    size_t byteLength() const { return length; }

    // The index of the first record whose name matches as the plug-in
    // matches names: same length, ASCII capitals folded.
    std::optional<size_t> find(std::string_view name) const;
    // The earlier record that the plug-in finds instead of this one.
    std::optional<size_t> shadowedBy(size_t index) const;

    void setCredits(size_t index, int32_t credits) { accounts[index].credits = credits; }
    void append(const BankRecord& record);
    void replaceAll(std::vector<BankRecord> records);

    std::vector<uint8_t> bytes() const;
    // Writes the file in one atomic step; false when that fails.
    bool write(const std::string& path) const;

private:
    std::vector<BankRecord> accounts;
    size_t length = 0;
};

}  // namespace kadrel::tools

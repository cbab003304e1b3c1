// The host's records built as raw bytes at the contract's byte offsets, for
// the programs that stand in for the host: the test host and `kadrel arena`.
// The offsets are written down here on their own, so that what these
// programs send checks the plug-in's declarations instead of reusing them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace kadrel::stand_in {

// One player record, 228 bytes, fields written at the host's byte offsets.
class PlayerRecord {
public:
    explicit PlayerRecord(std::string_view name = "Alice", uint16_t ident = 1, uint32_t accessLevel = 0,
                          uint16_t team = 0);

    // The name field takes up to 20 bytes; a name of exactly 20 bytes has no
    // terminator inside the field.
    PlayerRecord& name(std::string_view name);
    PlayerRecord& ident(uint16_t value);
    PlayerRecord& accessLevel(uint32_t value);
    PlayerRecord& flagCount(uint16_t value);
    PlayerRecord& squad(std::string_view squad);
    PlayerRecord& ship(uint8_t value);
    PlayerRecord& position(int32_t x, int32_t y);
    PlayerRecord& team(uint16_t value);
    PlayerRecord& scores(int32_t score1, int32_t score2);

    std::string nameText() const;
    uint16_t identValue() const;
    uint16_t teamValue() const;
    const void* record() const { return bytes.data(); }

    static constexpr size_t nameSize = 20;
    static constexpr size_t squadSize = 116;

private:
    template <class T>
    void put(size_t offset, T value);
    template <class T>
    T get(size_t offset) const;

    alignas(8) std::array<uint8_t, 228> bytes{};
};

class FlagRecord {
public:
    FlagRecord(uint16_t tileX, uint16_t tileY);
    const void* record() const { return bytes.data(); }

private:
    alignas(4) std::array<uint8_t, 4> bytes{};
};

// The host's list: a header whose first field points to the head node and
// whose third field is the count; nodes of element and next pointers.
class HostListRecord {
public:
    HostListRecord();
    HostListRecord(const HostListRecord&) = delete;
    HostListRecord& operator=(const HostListRecord&) = delete;

    void add(const void* element);
    // Takes the element out of the list; false when it is not in it.
    bool remove(const void* element);
    void clear();
    size_t size() const { return nodes.size(); }
    const void* record() const { return header.data(); }

private:
    void relink();

    struct Node {
        const void* item;
        const Node* next;
    };
    std::deque<Node> nodes;
    alignas(8) std::array<uint8_t, 3 * sizeof(void*)> header{};
};

class CommandRecord {
public:
    CommandRecord(std::string_view word, std::string_view parameters);
    CommandRecord(const CommandRecord&) = delete;
    CommandRecord& operator=(const CommandRecord&) = delete;
    const void* record() const { return bytes.data(); }

private:
    std::string word;
    std::string parameters;
    alignas(8) std::array<uint8_t, 16 + 2 * sizeof(void*)> bytes{};
};

}  // namespace kadrel::stand_in

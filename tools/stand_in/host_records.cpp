#include "host_records.h"

#include <cstring>
#include <stdexcept>

namespace kadrel::stand_in {

namespace {

constexpr size_t identOffset = 0;
constexpr size_t accessLevelOffset = 4;
constexpr size_t flagCountOffset = 12;
constexpr size_t nameOffset = 21;
constexpr size_t squadOffset = 41;
constexpr size_t shipOffset = 157;
constexpr size_t xOffset = 176;
constexpr size_t yOffset = 180;
constexpr size_t teamOffset = 216;
constexpr size_t score1Offset = 220;
constexpr size_t score2Offset = 224;
constexpr size_t commandNameOffset = 16;
constexpr size_t listCountOffset = 2 * sizeof(void*);

template <class T>
void putAt(uint8_t* bytes, size_t offset, T value) {
    std::memcpy(bytes + offset, &value, sizeof value);
}

}  // namespace

PlayerRecord::PlayerRecord(std::string_view playerName, uint16_t identValue, uint32_t level, uint16_t teamValue) {
    name(playerName);
    ident(identValue);
    accessLevel(level);
    team(teamValue);
}

template <class T>
void PlayerRecord::put(size_t offset, T value) {
    putAt(bytes.data(), offset, value);
}

PlayerRecord& PlayerRecord::name(std::string_view value) {
    if (value.size() > nameSize) throw std::invalid_argument("a player name holds at most 20 bytes");
    std::memset(bytes.data() + nameOffset, 0, nameSize);
    std::memcpy(bytes.data() + nameOffset, value.data(), value.size());
    return *this;
}

PlayerRecord& PlayerRecord::ident(uint16_t value) {
    put(identOffset, value);
    return *this;
}

PlayerRecord& PlayerRecord::accessLevel(uint32_t value) {
    put(accessLevelOffset, value);
    return *this;
}

PlayerRecord& PlayerRecord::flagCount(uint16_t value) {
    put(flagCountOffset, value);
    return *this;
}

PlayerRecord& PlayerRecord::squad(std::string_view value) {
    if (value.size() >= squadSize) throw std::invalid_argument("a squad name holds at most 115 bytes");
    std::memset(bytes.data() + squadOffset, 0, squadSize);
    std::memcpy(bytes.data() + squadOffset, value.data(), value.size());
    return *this;
}

PlayerRecord& PlayerRecord::ship(uint8_t value) {
    put(shipOffset, value);
    return *this;
}

PlayerRecord& PlayerRecord::position(int32_t x, int32_t y) {
    put(xOffset, x);
    put(yOffset, y);
    return *this;
}

PlayerRecord& PlayerRecord::team(uint16_t value) {
    put(teamOffset, value);
    return *this;
}

PlayerRecord& PlayerRecord::scores(int32_t score1, int32_t score2) {
    put(score1Offset, score1);
    put(score2Offset, score2);
    return *this;
}

std::string PlayerRecord::nameText() const {
    const char* field = reinterpret_cast<const char*>(bytes.data() + nameOffset);
    return std::string(field, strnlen(field, nameSize));
}

template <class T>
T PlayerRecord::get(size_t offset) const {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

uint16_t PlayerRecord::identValue() const { return get<uint16_t>(identOffset); }

uint16_t PlayerRecord::teamValue() const { return get<uint16_t>(teamOffset); }

FlagRecord::FlagRecord(uint16_t tileX, uint16_t tileY) {
    putAt(bytes.data(), 0, tileX);
    putAt(bytes.data(), 2, tileY);
}

HostListRecord::HostListRecord() { relink(); }

void HostListRecord::add(const void* element) {
    nodes.push_back({element, nullptr});
    relink();
}

bool HostListRecord::remove(const void* element) {
    for (auto node = nodes.begin(); node != nodes.end(); ++node) {
        if (node->item == element) {
            nodes.erase(node);
            relink();
            return true;
        }
    }
    return false;
}

void HostListRecord::clear() {
    nodes.clear();
    relink();
}

void HostListRecord::relink() {
    for (size_t i = 0; i + 1 < nodes.size(); ++i) nodes[i].next = &nodes[i + 1];
    if (!nodes.empty()) nodes.back().next = nullptr;
    header.fill(0);
    putAt(header.data(), 0, nodes.empty() ? nullptr : static_cast<const void*>(&nodes.front()));
    putAt(header.data(), listCountOffset, static_cast<uint32_t>(nodes.size()));
}

CommandRecord::CommandRecord(std::string_view wordText, std::string_view parameterText)
    : word(wordText), parameters(parameterText) {
    putAt(bytes.data(), commandNameOffset, word.c_str());
    putAt(bytes.data(), commandNameOffset + sizeof(void*), parameters.c_str());
}

}  // namespace kadrel::stand_in

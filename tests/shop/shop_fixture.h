// A bot with a catalogue written by the test, and buyers with balances from a
// bank file written before the init event.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {

using Texts = std::vector<std::string>;

constexpr uint32_t bot = 1;

class ShopTest : public ::testing::Test {
protected:
    // 24-byte records: 20 name bytes, NUL-padded, then the balance,
    // little-endian.
    void writeBank(const std::vector<std::pair<std::string, int32_t>>& accounts) const {
        std::string bytes;
        for (const auto& [name, credits] : accounts) {
            std::string record(24, '\0');
            record.replace(0, name.size(), name);
            const auto value = static_cast<uint32_t>(credits);
            for (int i = 0; i < 4; ++i) record[20 + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
            bytes += record;
        }
        scratch.write("Quorlen.bank", bytes);
    }

    // The balances as the bot saves them at the term event.
    std::vector<std::pair<std::string, int32_t>> savedBank() {
        host.term(bot);
        host.clearRequests();
        const std::vector<uint8_t> bytes = scratch.readBytes("Quorlen.bank");
        std::vector<std::pair<std::string, int32_t>> accounts;
        for (size_t at = 0; at + 24 <= bytes.size(); at += 24) {
            uint32_t value = 0;
            for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[at + 20 + i]) << (8 * i);
            accounts.emplace_back(std::string(reinterpret_cast<const char*>(&bytes[at])), static_cast<int32_t>(value));
        }
        return accounts;
    }

    // Writes buy.ini and connects the bot; returns what the init sent.
    Texts load(std::string_view ini) {
        scratch.write("buy.ini", ini);
        host.clearRequests();
        host.init(bot);
        Texts sent = host.texts();
        host.clearRequests();
        return sent;
    }

    Texts buy(const PlayerRecord& buyer, std::string_view argument) {
        host.clearRequests();
        host.command(bot, buyer, "buy", argument);
        return host.texts();
    }

    ScratchDir scratch;
    TestHost host;
};

}  // namespace kadrel::testing

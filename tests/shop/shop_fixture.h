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

#include "bank_model.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {

using Texts = std::vector<std::string>;

constexpr uint32_t bot = 1;

class ShopTest : public ::testing::Test {
protected:
    void writeBank(const std::vector<std::pair<std::string, int32_t>>& accounts) const {
        std::string bytes;
        for (const auto& [name, credits] : accounts) bytes += bankRecord(name, credits);
        scratch.write(bankFileName(), bytes);
    }

    // The balances as the bot saves them at the term event.
    std::vector<std::pair<std::string, int32_t>> savedBank() {
        host.term(bot);
        host.clearRequests();
        std::vector<std::pair<std::string, int32_t>> accounts;
        for (const BankRecord& record : parseBank(scratch.readBytes(bankFileName()))) {
            accounts.emplace_back(record.name, record.credits);
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

// One bot driven through the test host: buy.ini and the bank file written by
// the test, chat commands and help requests sent as the host sends them, and
// the balances read back from the bank file the bot saves.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bank_model.h"
#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {

class BotSession : public ::testing::Test {
protected:
    static constexpr uint32_t bot = 7;

    // Writes buy.ini and the bank file, then connects the bot; returns what
    // the init sent.
    Texts load(std::string_view buyIni, const Ledger& bank = {}) {
        if (!bank.empty()) scratch.write(bankFileName(), bankBytes(bank));
        scratch.write("buy.ini", buyIni);
        host.clearRequests();
        host.init(bot);
        return sent();
    }

    // The texts of the requests since the last look.
    Texts sent() {
        Texts texts = host.texts();
        host.clearRequests();
        return texts;
    }

    // The requests since the last look, as the transcripts show them.
    Texts heard() {
        Texts lines;
        for (const Request& request : host.requests) {
            const std::string whom = std::to_string(request.addressee());
            const std::string to = !request.isSay()                         ? "[echo] "
                                   : request.mode() == stand_in::sayPublic ? "[public] "
                                   : request.mode() == stand_in::sayTeam   ? "[team " + whom + "] "
                                                                           : "[private to " + whom + "] ";
            lines.push_back(to + request.text);
        }
        host.clearRequests();
        return lines;
    }

    Texts buy(const PlayerRecord& buyer, std::string_view argument) {
        host.command(bot, buyer, "buy", argument);
        return sent();
    }

    // The replies to a command or help request, each of which must be a
    // private line to the sender.
    Texts command(const PlayerRecord& sender, std::string_view word, std::string_view parameters = "") {
        host.command(bot, sender, word, parameters);
        return repliesTo(sender);
    }
    Texts help(const PlayerRecord& asker, std::string_view topic) {
        host.help(bot, asker, topic);
        return repliesTo(asker);
    }

    // The accounts, in file order, as the bot saves them at the term event.
    Ledger savedBank() {
        host.term(bot);
        host.clearRequests();
        return parseBank(scratch.read(bankFileName()));
    }

    ScratchDir scratch;
    TestHost host;
    const PlayerRecord oper{"Oper", 90, 1};

private:
    Texts repliesTo(const PlayerRecord& player) {
        for (const Request& request : host.requests) {
            EXPECT_TRUE(request.isSay() && request.mode() == stand_in::sayPrivate &&
                        request.addressee() == player.identValue())
                << request.text;
        }
        return sent();
    }
};

// A connected bot with nothing to sell, for the chat commands.
class Commands : public BotSession {
protected:
    Commands() { load(""); }

    void give(std::string_view name, int64_t amount) {
        ASSERT_EQ(command(oper, "cgive", std::string(name) + ":" + std::to_string(amount)), Texts{"Credits added"});
    }
};

}  // namespace kadrel::testing

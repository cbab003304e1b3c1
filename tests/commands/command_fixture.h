// A connected bot to send chat commands and help requests to, and the check
// that every answer is a private line to the player who asked.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "scratch_dir.h"
#include "test_host.h"

namespace kadrel::testing {

using Texts = std::vector<std::string>;

class CommandTest : public ::testing::Test {
protected:
    static constexpr uint32_t bot = 7;

    CommandTest() {
        host.init(bot);
        host.clearRequests();
    }

    // The replies to one command; each must be a private line to the sender.
    Texts command(const PlayerRecord& sender, std::string_view word, std::string_view parameters = "") {
        host.command(bot, sender, word, parameters);
        return repliesTo(sender);
    }

    Texts help(const PlayerRecord& asker, std::string_view topic = "") {
        host.help(bot, asker, topic);
        return repliesTo(asker);
    }

    // Ledger set-up and inspection through an operator's commands.
    void give(std::string_view name, int64_t amount) {
        ASSERT_EQ(command(oper, "cgive", std::string(name) + ":" + std::to_string(amount)), Texts{"Credits added"});
    }

    std::string cget(std::string_view name) {
        const Texts replies = command(oper, "cget", name);
        return replies.size() == 1 ? replies[0] : "(" + std::to_string(replies.size()) + " replies)";
    }

    // What a player of that name is told by !creds: tells an account of 0
    // from no account at all.
    std::string credsOf(std::string_view name) {
        const Texts replies = command(PlayerRecord(name, 50), "creds");
        return replies.size() == 1 ? replies[0] : "(" + std::to_string(replies.size()) + " replies)";
    }

    ScratchDir scratch;
    TestHost host;
    const PlayerRecord oper{"Oper", 90, 1};

private:
    // The request records themselves are the host link's to check.
    Texts repliesTo(const PlayerRecord& player) {
        Texts texts;
        for (const Request& request : host.requests) {
            EXPECT_TRUE(request.isSay() && request.mode() == 5 && request.addressee() == player.identValue())
                << request.text;
            texts.push_back(request.text);
        }
        host.clearRequests();
        return texts;
    }
};

}  // namespace kadrel::testing

// !donate: an ordinary player gives some of their own credits to a name.
#include <cctype>
#include <limits>

#include "command_fixture.h"

namespace kadrel::testing {
namespace {

const std::string never = "You have never had any credits";

class Donate : public CommandTest {
protected:
    const PlayerRecord alice{"Alice", 3};

    Texts donate(std::string_view parameters) { return command(alice, "donate", parameters); }
};

TEST_F(Donate, MovesCreditsFromTheSenderToTheName) {
    give("Alice", 100);
    EXPECT_EQ(donate("Bob:50"), Texts{"50 credits donated to Bob"});
    EXPECT_EQ(cget("Alice"), "Alice has 50 credits");
    EXPECT_EQ(cget("Bob"), "Bob has 50 credits");
    EXPECT_EQ(donate("bob:50"), Texts{"50 credits donated to bob"}) << "the name as typed";
    EXPECT_EQ(cget("Alice"), "Alice has 0 credits");
    EXPECT_EQ(cget("Bob"), "Bob has 100 credits");
}

TEST_F(Donate, ANegativeAmountIsRefused) {
    give("Alice", 100);
    EXPECT_EQ(donate("Bob:-5"), Texts{"Ill donate you -$5000 first"});
    EXPECT_EQ(donate("Bob:-2147483648"), Texts{"Ill donate you -$5000 first"});
    EXPECT_EQ(cget("Alice"), "Alice has 100 credits");
    EXPECT_EQ(credsOf("Bob"), never);
}

TEST_F(Donate, AnAmountOutOfRangeIsInvalidNotNegative) {
    give("Alice", 100);
    EXPECT_EQ(donate("Bob:2147483648"), Texts{"Invalid syntax"});
    EXPECT_EQ(donate("Bob:4294967296"), Texts{"Invalid syntax"});
    EXPECT_EQ(cget("Alice"), "Alice has 100 credits");
}

TEST_F(Donate, NeedsEnoughCredits) {
    give("Alice", 10);
    EXPECT_EQ(donate("Bob:11"), Texts{"You do not have enough credits"});
    EXPECT_EQ(cget("Alice"), "Alice has 10 credits");
    EXPECT_EQ(credsOf("Bob"), never);
    EXPECT_EQ(donate("Bob:10"), Texts{"10 credits donated to Bob"});
    EXPECT_EQ(cget("Alice"), "Alice has 0 credits");
}

TEST_F(Donate, WithoutAnAccountOnlyZeroCanBeGiven) {
    EXPECT_EQ(donate("Bob:1"), Texts{"You do not have enough credits"});
    EXPECT_EQ(credsOf("Alice"), never) << "no account opened";
    EXPECT_EQ(credsOf("Bob"), never);
    EXPECT_EQ(donate("Bob:-0"), Texts{"0 credits donated to Bob"});
    EXPECT_EQ(credsOf("Alice"), "You have 0 credits") << "both accounts opened";
    EXPECT_EQ(credsOf("Bob"), "You have 0 credits");
}

TEST_F(Donate, ANegativeBalanceCannotGiveEvenZero) {
    give("Alice", -5);
    EXPECT_EQ(donate("Bob:0"), Texts{"You do not have enough credits"});
    EXPECT_EQ(credsOf("Bob"), never);
}

TEST_F(Donate, TheRecipientIsNotTold) {
    give("Alice", 5);
    host.players.add(PlayerRecord("Bob", 9).record());
    host.command(bot, alice, "donate", "Bob:5");
    ASSERT_EQ(host.requests.size(), 1u);
    EXPECT_EQ(host.requests[0].addressee(), 3u);
}

TEST_F(Donate, ToTheEmptyName) {
    give("Alice", 30);
    EXPECT_EQ(donate(":25"), Texts{"25 credits donated to "});
    EXPECT_EQ(credsOf(""), "You have 25 credits");
    EXPECT_EQ(cget("Alice"), "Alice has 5 credits");
}

struct Transfer {
    std::string recipient;
    int64_t senderBefore;
    int64_t recipientBefore;  // ignored when the recipient is the sender
    std::string amount;
    int64_t moved;
};

class Conservation : public CommandTest, public ::testing::WithParamInterface<Transfer> {};

// Credits are never made or destroyed: the sender loses exactly what the
// recipient gains, and the reply names that amount.
TEST_P(Conservation, TheSenderLosesWhatTheRecipientGains) {
    const Transfer& transfer = GetParam();
    const PlayerRecord sender("Alice", 3);
    give("Alice", transfer.senderBefore);
    std::string folded = transfer.recipient;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool toSelf = folded == "alice";
    if (!toSelf) give(transfer.recipient, transfer.recipientBefore);

    EXPECT_EQ(command(sender, "donate", transfer.recipient + ":" + transfer.amount),
              Texts{std::to_string(transfer.moved) + " credits donated to " + transfer.recipient});
    if (toSelf) {
        EXPECT_EQ(cget("Alice"), "Alice has " + std::to_string(transfer.senderBefore) + " credits");
    } else {
        EXPECT_EQ(cget("Alice"), "Alice has " + std::to_string(transfer.senderBefore - transfer.moved) + " credits");
        EXPECT_EQ(cget(transfer.recipient),
                  transfer.recipient + " has " + std::to_string(transfer.recipientBefore + transfer.moved) + " credits");
    }
}

constexpr int64_t highest = std::numeric_limits<int32_t>::max();
constexpr int64_t lowest = std::numeric_limits<int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Donations, Conservation,
    ::testing::Values(Transfer{"Bob", 100, 0, "100", 100}, Transfer{"Bob", 100, highest - 53, "100", 53},
                      Transfer{"Bob", 100, highest, "100", 0}, Transfer{"Bob", highest, highest - 1, "2147483647", 1},
                      Transfer{"Bob", 100, lowest, "100", 100}, Transfer{"Bob", highest, lowest, "2147483647", highest},
                      Transfer{"Bob", 100, -50, "0", 0},
                      // To one's own account, in any case: the balance stays.
                      Transfer{"Alice", 100, 0, "40", 40}, Transfer{"aLICE", 100, 0, "100", 100},
                      Transfer{"ALICE", highest, 0, "10", 0}, Transfer{"alice", highest - 4, 0, "10", 4}));

}  // namespace
}  // namespace kadrel::testing

// !donate: an ordinary player gives some of their own credits to a name.
#include "command_fixture.h"

namespace kadrel::testing {
namespace {

const std::string never = "You have never had any credits";

class Donate : public CommandTest {
protected:
    const PlayerRecord alice{"Alice", 3};

    Texts donate(std::string_view parameters) { return command(alice, "donate", parameters); }
};

TEST_F(Donate, MovesCreditsToTheAccountOfTheNameAsTyped) {
    give("Alice", 100);
    give("Bob", 0);
    EXPECT_EQ(donate("bOB:60"), Texts{"60 credits donated to bOB"});
    EXPECT_EQ(cget("Alice"), "Alice has 40 credits");
    EXPECT_EQ(credsOf("Bob"), "You have 60 credits");
}

TEST_F(Donate, ANegativeAmountIsRefused) {
    give("Alice", 100);
    EXPECT_EQ(donate("Bob:-5"), Texts{"Ill donate you -$5000 first"});
    EXPECT_EQ(cget("Alice"), "Alice has 100 credits");
    EXPECT_EQ(credsOf("Bob"), never);
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

// A donation moves credits, it never makes or destroys them.
TEST_F(Donate, TheSenderLosesWhatTheRecipientGains) {
    give("Alice", 100);
    give("Bob", 2147483647 - 53);
    EXPECT_EQ(donate("Bob:100"), Texts{"53 credits donated to Bob"}) << "only what fits";
    EXPECT_EQ(cget("Alice"), "Alice has 47 credits");
    EXPECT_EQ(cget("Bob"), "Bob has 2147483647 credits");
    EXPECT_EQ(donate("aLICE:47"), Texts{"47 credits donated to aLICE"}) << "to oneself";
    EXPECT_EQ(cget("Alice"), "Alice has 47 credits");
    // The widest move there is, from the top of the range to its bottom.
    give("Carol", 2147483647);
    give("Dave", -2147483647 - 1);
    EXPECT_EQ(command(PlayerRecord("Carol", 4), "donate", "Dave:2147483647"), Texts{"2147483647 credits donated to Dave"});
    EXPECT_EQ(cget("Carol"), "Carol has 0 credits");
    EXPECT_EQ(cget("Dave"), "Dave has -1 credits");
    give("Erin", 2147483647 - 4);
    EXPECT_EQ(command(PlayerRecord("Erin", 5), "donate", "erin:10"), Texts{"4 credits donated to erin"});
    EXPECT_EQ(cget("Erin"), "Erin has 2147483643 credits");
}

}  // namespace
}  // namespace kadrel::testing

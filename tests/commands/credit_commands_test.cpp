// !creds, !cgive, !ctake, !cget and !donate, and the reading of
// "<player name>:<credits>" that cgive, ctake and donate share. The commands'
// everyday answers are told by the commands and demo transcripts.
#include "bot_session.h"

namespace kadrel::testing {
namespace {

const Texts invalid = {"Invalid syntax"};
const Texts notEnough = {"You do not have enough credits"};
const PlayerRecord alice{"Alice", 3};

TEST_F(Commands, CredsTellsAnAccountOfZeroFromNoAccount) {
    EXPECT_EQ(command(alice, "creds"), Texts{"You have never had any credits"});
    give("alice", 0);
    EXPECT_EQ(command(alice, "creds", "Bob"), Texts{"You have 0 credits"});
    give("Alice", -7);
    EXPECT_EQ(command(alice, "creds"), Texts{"You have -7 credits"});
}

// The full grid of limits is the ledger's; here each command's direction.
TEST_F(Commands, CgiveAddsAndCtakeRemovesWithoutWrapping) {
    give("Bob", 2147483000);
    give("Bob", 2147483647);
    EXPECT_EQ(command(oper, "ctake", "Carol:5"), Texts{"Credits removed"}) << "an unknown name gets an account";
    command(oper, "ctake", "Carol:-2147483648");  // adds 2147483648
    give("Dave", 200);
    command(oper, "ctake", "Dave:500");
    EXPECT_EQ(savedBank(), (Ledger{{"Bob", 2147483647}, {"Carol", 2147483643}, {"Dave", -300}}));
}

// The whole parameter text is the name, blanks included.
TEST_F(Commands, CgetShowsAnyNameAsTypedWithoutOpeningAnAccount) {
    EXPECT_EQ(command(oper, "cget"), invalid);
    EXPECT_EQ(command(oper, "cget", " Bob:5"), Texts{" Bob:5 has 0 credits"});
    give("ABCDEFGHIJKLMNOPQRS", 50);  // 19 characters, the longest account name
    EXPECT_EQ(command(oper, "cget", "abcdefghijklmnopqrs"), Texts{"abcdefghijklmnopqrs has 50 credits"});
    EXPECT_EQ(command(oper, "cget", "ABCDEFGHIJKLMNOPQRST"), Texts{"ABCDEFGHIJKLMNOPQRST has 0 credits"})
        << "no account is that long";
    EXPECT_FALSE(scratch.exists(bankFileName())) << "commands leave the bank file to the saves";
    EXPECT_EQ(savedBank(), (Ledger{{"ABCDEFGHIJKLMNOPQRS", 50}}));
}

// The cutting is splitAt's and which numbers fit is isNumericInRange's; here
// the pair's own rules, through every command that reads one.
TEST_F(Commands, ThePairIsReadAlikeByEveryCommand) {
    give("Oper", 1000);
    for (const char* parameters : {"", "Bob", " Bob ", "Bob:", "Bob:2147483648", "12:12", "ABCDEFGHIJKLMNOPQRST:5"}) {
        for (const char* word : {"cgive", "ctake", "donate"}) {
            EXPECT_EQ(command(oper, word, parameters), invalid) << word << ' ' << parameters;
        }
    }
    EXPECT_EQ(command(oper, "cgive", " Bob : 25 "), Texts{"Credits added"});
    EXPECT_EQ(command(oper, "ctake", "Bob:5 "), Texts{"Credits removed"});
    EXPECT_EQ(command(oper, "donate", "  :  0"), Texts{"0 credits donated to "}) << "the empty name is a name";
    give("12", 13);  // a name spelled like the amount is refused, a name that is a number is not
    EXPECT_EQ(savedBank(), (Ledger{{"Oper", 1000}, {"Bob", 20}, {"", 0}, {"12", 13}}));
}

TEST_F(Commands, DonateRefusesWhatTheSenderCannotGive) {
    give("Alice", 10);
    give("Neg", -5);
    EXPECT_EQ(command(alice, "donate", "Bob:-5"), Texts{"Ill donate you -$5000 first"});
    EXPECT_EQ(command(alice, "donate", "Bob:11"), notEnough);
    EXPECT_EQ(command(PlayerRecord("Neg", 4), "donate", "Bob:0"), notEnough) << "not even 0 below zero";
    EXPECT_EQ(command(PlayerRecord("Nobody", 5), "donate", "Bob:1"), notEnough);
    EXPECT_EQ(savedBank(), (Ledger{{"Alice", 10}, {"Neg", -5}})) << "nothing moved, no account opened";
}

// A donation moves credits to the name as typed, it never makes or destroys
// them; the recipient, though online, is not told.
TEST_F(Commands, DonateMovesOnlyWhatFits) {
    give("Alice", 100);
    give("Bob", 2147483647 - 53);
    host.players.add(PlayerRecord("Bob", 9).record());
    EXPECT_EQ(command(alice, "donate", "bOB:100"), Texts{"53 credits donated to bOB"});
    EXPECT_EQ(command(alice, "donate", "aLICE:47"), Texts{"47 credits donated to aLICE"}) << "all, to oneself";
    EXPECT_EQ(command(PlayerRecord("Carl", 4), "donate", "Dave:-0"), Texts{"0 credits donated to Dave"});
    // The widest move there is, from the top of the range to its bottom.
    give("Erin", 2147483647);
    give("Finn", -2147483647 - 1);
    EXPECT_EQ(command(PlayerRecord("Erin", 5), "donate", "Finn:2147483647"), Texts{"2147483647 credits donated to Finn"});
    give("Gus", 2147483647 - 4);
    EXPECT_EQ(command(PlayerRecord("Gus", 6), "donate", "gus:10"), Texts{"4 credits donated to gus"});
    EXPECT_EQ(savedBank(), (Ledger{{"Alice", 47}, {"Bob", 2147483647}, {"Dave", 0}, {"Carl", 0}, {"Erin", 0},
                                 {"Finn", -1}, {"Gus", 2147483643}}));
}

}  // namespace
}  // namespace kadrel::testing

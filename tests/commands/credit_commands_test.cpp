// !creds, !cgive, !ctake, !cget and !creset, and the reading of
// "<player name>:<credits>" that donate, cgive and ctake share. The commands'
// everyday answers are told by the commands transcript.
#include "command_fixture.h"

namespace kadrel::testing {
namespace {

const Texts invalid = {"Invalid syntax"};
const std::string never = "You have never had any credits";

TEST_F(CommandTest, CredsTellsAnAccountOfZeroFromNoAccount) {
    EXPECT_EQ(credsOf("Alice"), never);
    give("alice", 0);
    EXPECT_EQ(command(PlayerRecord("Alice", 3), "creds", "Bob"), Texts{"You have 0 credits"});
    give("Alice", -7);
    EXPECT_EQ(credsOf("Alice"), "You have -7 credits");
}

TEST_F(CommandTest, CtakeMayLeaveABalanceBelowZero) {
    give("Bob", 200);
    EXPECT_EQ(command(oper, "ctake", "Bob:500"), Texts{"Credits removed"});
    EXPECT_EQ(cget("Bob"), "Bob has -300 credits");
    EXPECT_EQ(command(oper, "ctake", "Carol:5"), Texts{"Credits removed"});
    EXPECT_EQ(cget("Carol"), "Carol has -5 credits") << "an unknown name gets an account";
}

// The full grid of limits is the ledger's; here the two commands' directions.
TEST_F(CommandTest, BalancesSaturateAndAmountsNeverWrap) {
    give("Bob", 2147483000);
    give("Bob", 2147483647);
    EXPECT_EQ(cget("Bob"), "Bob has 2147483647 credits");
    give("Carol", -5);
    command(oper, "ctake", "Carol:-2147483648");  // adds 2147483648
    EXPECT_EQ(cget("Carol"), "Carol has 2147483643 credits");
}

// The whole parameter text is the name, blanks included.
TEST_F(CommandTest, CgetShowsAnyNameAsTypedWithoutOpeningAnAccount) {
    EXPECT_EQ(command(oper, "cget"), invalid);
    EXPECT_EQ(cget(" Bob:5"), " Bob:5 has 0 credits");
    EXPECT_EQ(credsOf("Bob"), never) << "cget opened no account";
    give("ABCDEFGHIJKLMNOPQRS", 50);  // 19 characters, the longest account name
    EXPECT_EQ(cget("abcdefghijklmnopqrs"), "abcdefghijklmnopqrs has 50 credits");
    EXPECT_EQ(cget("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOPQRST has 0 credits") << "no account is that long";
}

TEST_F(CommandTest, CommandsLeaveTheBankFileToTheSaves) {
    give("Bob", 10);
    command(oper, "creset");
    command(PlayerRecord("Bob", 3), "donate", "Al:0");
    EXPECT_FALSE(scratch.exists("Quorlen.bank"));
}

// The cutting is splitAt's; here that the three commands read through it.
TEST_F(CommandTest, ThePairIsReadWithBlanksCutAroundNameAndAmount) {
    EXPECT_EQ(command(oper, "cgive", " Bob : 25 "), Texts{"Credits added"});
    EXPECT_EQ(command(oper, "ctake", "Bob:5 "), Texts{"Credits removed"});
    EXPECT_EQ(command(oper, "donate", "  :  0"), Texts{"0 credits donated to "}) << "the empty name is a name";
    EXPECT_EQ(credsOf("Bob"), "You have 20 credits");
    EXPECT_EQ(credsOf(""), "You have 0 credits");
}

// Which numbers fit is isNumericInRange's to tell; here the pair's own rules.
TEST_F(CommandTest, AMalformedPairIsRefusedByEveryCommandThatReadsOne) {
    give("Oper", 1000);
    for (const char* parameters : {"", "Bob", " Bob ", "Bob:", "Bob:2147483648", "12:12", "ABCDEFGHIJKLMNOPQRST:5"}) {
        for (const char* word : {"cgive", "ctake", "donate"}) {
            EXPECT_EQ(command(oper, word, parameters), invalid) << word << ' ' << parameters;
        }
    }
    EXPECT_EQ(credsOf("Oper"), "You have 1000 credits");
    for (const char* name : {"Bob", "12", "ABCDEFGHIJKLMNOPQRS", "ABCDEFGHIJKLMNOPQRST"}) {
        EXPECT_EQ(credsOf(name), never) << name << ": no account opened";
    }
    // A name spelled like the amount is refused, a name that is a number is not.
    EXPECT_EQ(command(oper, "cgive", "12:13"), Texts{"Credits added"});
    EXPECT_EQ(cget("12"), "12 has 13 credits");
}

}  // namespace
}  // namespace kadrel::testing

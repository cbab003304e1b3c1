// !creds, !cgive, !ctake, !cget and !creset, and the reading of
// "<player name>:<credits>" that donate, cgive and ctake share.
#include "command_fixture.h"

namespace kadrel::testing {
namespace {

const Texts invalid = {"Invalid syntax"};
const std::string never = "You have never had any credits";

TEST_F(CommandTest, CredsShowsTheSendersOwnBalance) {
    const PlayerRecord alice("Alice", 3);
    EXPECT_EQ(command(alice, "creds"), Texts{never});
    give("alice", 250);
    EXPECT_EQ(command(alice, "creds"), Texts{"You have 250 credits"});
    EXPECT_EQ(command(alice, "creds", "Bob"), Texts{"You have 250 credits"}) << "parameter text ignored";
    give("Alice", -249);
    EXPECT_EQ(command(alice, "creds"), Texts{"You have 1 credits"});
    give("Alice", -8);
    EXPECT_EQ(command(alice, "creds"), Texts{"You have -7 credits"});
}

TEST_F(CommandTest, AnAccountOfZeroIsNotNoAccount) {
    give("Alice", 0);
    EXPECT_EQ(credsOf("Alice"), "You have 0 credits");
}

TEST_F(CommandTest, CgiveAddsAndTellsOnlyTheOperator) {
    EXPECT_EQ(command(oper, "cgive", "Bob:100"), Texts{"Credits added"});
    EXPECT_EQ(cget("Bob"), "Bob has 100 credits");
    EXPECT_EQ(command(oper, "cgive", "bOB:-30"), Texts{"Credits added"});
    EXPECT_EQ(cget("Bob"), "Bob has 70 credits");
}

TEST_F(CommandTest, CtakeRemovesAndMayLeaveABalanceBelowZero) {
    give("Bob", 200);
    EXPECT_EQ(command(oper, "ctake", "Bob:500"), Texts{"Credits removed"});
    EXPECT_EQ(cget("Bob"), "Bob has -300 credits");
    EXPECT_EQ(command(oper, "ctake", "Bob:-30"), Texts{"Credits removed"});
    EXPECT_EQ(cget("Bob"), "Bob has -270 credits");
    EXPECT_EQ(command(oper, "ctake", "Carol:5"), Texts{"Credits removed"});
    EXPECT_EQ(cget("Carol"), "Carol has -5 credits") << "an unknown name gets an account";
}

struct LimitCase {
    std::string word;
    int64_t start;
    std::string amount;
    std::string expected;
};

class AtTheLimits : public CommandTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(AtTheLimits, BalancesSaturateAndAmountsNeverWrap) {
    give("Bob", GetParam().start);
    command(oper, GetParam().word, "Bob:" + GetParam().amount);
    EXPECT_EQ(cget("Bob"), "Bob has " + GetParam().expected + " credits");
}

INSTANTIATE_TEST_SUITE_P(
    Amounts, AtTheLimits,
    ::testing::Values(LimitCase{"cgive", 2147483647, "1", "2147483647"},
                      LimitCase{"cgive", 2147483000, "2147483647", "2147483647"},
                      LimitCase{"cgive", 0, "-2147483648", "-2147483648"},
                      LimitCase{"cgive", -1, "-2147483648", "-2147483648"},
                      LimitCase{"ctake", -2147483648, "1", "-2147483648"},
                      LimitCase{"ctake", 0, "2147483647", "-2147483647"},
                      // Taking the lowest amount adds 2147483648.
                      LimitCase{"ctake", 0, "-2147483648", "2147483647"},
                      LimitCase{"ctake", -5, "-2147483648", "2147483643"},
                      LimitCase{"ctake", -2147483648, "-2147483648", "0"},
                      LimitCase{"cgive", 0, "-0", "0"}, LimitCase{"cgive", 0, "0000000000042", "42"},
                      LimitCase{"cgive", 0, "00000000002147483647", "2147483647"}));

TEST_F(CommandTest, CgetShowsAnyNameAsTypedWithoutOpeningAnAccount) {
    EXPECT_EQ(command(oper, "cget"), invalid);
    EXPECT_EQ(cget("Bob"), "Bob has 0 credits");
    EXPECT_EQ(credsOf("Bob"), never) << "cget opened no account";
    give("Bob", 100);
    EXPECT_EQ(cget("bob"), "bob has 100 credits");
    // The whole text is the name, blanks included.
    EXPECT_EQ(cget("Bob "), "Bob  has 0 credits");
    EXPECT_EQ(cget(" Bob"), " Bob has 0 credits");
    EXPECT_EQ(cget("Bob:5"), "Bob:5 has 0 credits");
}

TEST_F(CommandTest, CgetOfANameTooLongForAnAccountFindsNone) {
    give("ABCDEFGHIJKLMNOPQRS", 50);  // 19 characters, the longest account name
    EXPECT_EQ(cget("abcdefghijklmnopqrs"), "abcdefghijklmnopqrs has 50 credits");
    EXPECT_EQ(cget("ABCDEFGHIJKLMNOPQRST"), "ABCDEFGHIJKLMNOPQRST has 0 credits");
}

TEST_F(CommandTest, CresetClearsEveryBalance) {
    give("Alice", 10);
    give("Bob", -10);
    give("Oper", 0);
    EXPECT_EQ(command(oper, "creset", "ignored"), Texts{"All credits have been cleared"});
    EXPECT_EQ(credsOf("Alice"), never);
    EXPECT_EQ(credsOf("Bob"), never);
    EXPECT_EQ(command(oper, "creds"), Texts{never});
    give("Bob", 3);
    EXPECT_EQ(credsOf("Bob"), "You have 3 credits");
}

TEST_F(CommandTest, CommandsLeaveTheBankFileToTheSaves) {
    give("Bob", 10);
    command(oper, "creset");
    command(PlayerRecord("Bob", 3), "donate", "Al:0");
    EXPECT_FALSE(scratch.exists("Quorlen.bank"));
}

struct NamedAmount {
    std::string parameters;
    std::string name;   // the account that receives
    std::string shown;  // what donate names in its reply
};

class Reading : public CommandTest, public ::testing::WithParamInterface<NamedAmount> {};

TEST_P(Reading, CutsBlanksAroundNameAndAmount) {
    EXPECT_EQ(command(oper, "cgive", GetParam().parameters), Texts{"Credits added"});
    EXPECT_EQ(credsOf(GetParam().name), "You have 25 credits");
    EXPECT_EQ(command(oper, "ctake", GetParam().parameters), Texts{"Credits removed"});
    EXPECT_EQ(credsOf(GetParam().name), "You have 0 credits");
    give("Oper", 25);
    EXPECT_EQ(command(oper, "donate", GetParam().parameters), Texts{"25 credits donated to " + GetParam().shown});
    EXPECT_EQ(credsOf(GetParam().name), "You have 25 credits");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Reading,
    ::testing::Values(NamedAmount{"Bob:25", "Bob", "Bob"}, NamedAmount{" Bob : 25 ", "Bob", "Bob"},
                      NamedAmount{"  Bob Smith  :25", "Bob Smith", "Bob Smith"},
                      NamedAmount{"Bob:025", "Bob", "Bob"},
                      // The empty name is a name like any other.
                      NamedAmount{":25", "", ""}, NamedAmount{"  :  25", "", ""},
                      NamedAmount{"ABCDEFGHIJKLMNOPQRS:25", "ABCDEFGHIJKLMNOPQRS", "ABCDEFGHIJKLMNOPQRS"},
                      NamedAmount{"\tBob:25", "\tBob", "\tBob"}));

class SyntaxFailure : public CommandTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(SyntaxFailure, IsRefusedByEveryCommandThatReadsAPair) {
    give("Oper", 1000);
    for (const char* word : {"cgive", "ctake", "donate"}) {
        EXPECT_EQ(command(oper, word, GetParam()), invalid) << word;
    }
    EXPECT_EQ(credsOf("Oper"), "You have 1000 credits");
    for (const char* name : {"Bob", "7", "ABCDEFGHIJKLMNOPQRS", "ABCDEFGHIJKLMNOPQRST"}) {
        EXPECT_EQ(credsOf(name), never) << name << ": no account opened";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SyntaxFailure,
    ::testing::Values("", "Bob", " Bob ", "Bob:", ":", " : ", "Bob:abc", "Bob:12:3", "Bob:+5", "Bob:1 000", "7:7",
                      "Bob:-", "Bob:--5", "Bob:1.5", "Bob:0x10", "Bob:\t5", "Bob:5\t", "5",
                      // Amounts outside the signed 32-bit range never wrap.
                      "Bob:2147483648", "Bob:4294967296", "Bob:4294967301", "Bob:-2147483649",
                      "Bob:99999999999999999999",
                      // A name longer than any account's (20 characters) is refused, not cut.
                      "ABCDEFGHIJKLMNOPQRST:5", "ABCDEFGHIJKLMNOPQRSTUVWXYZ:5"));

TEST_F(CommandTest, ANameSpelledLikeTheAmountIsRefused) {
    EXPECT_EQ(command(oper, "cgive", "12:12"), invalid);
    EXPECT_EQ(command(oper, "cgive", " 12 : 12"), invalid);
    EXPECT_EQ(command(oper, "cgive", "12:13"), Texts{"Credits added"});
    EXPECT_EQ(cget("12"), "12 has 13 credits");
}

}  // namespace
}  // namespace kadrel::testing

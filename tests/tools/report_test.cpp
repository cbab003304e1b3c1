// kadrel report against histories written record by record: the data
// section of a fixed history with every cause against a golden file and
// against the records' own sums, and the pages of histories with nothing to draw.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>

#include "accounts/history_file.h"
#include "bank_model.h"
#include "run_program.h"
#include "scratch_dir.h"
#include "tools/whole_file.h"

namespace kadrel::testing {
namespace {

constexpr int64_t start = 1796083200;  // 2026-12-01T00:00:00Z

// A history and the bank it leaves, with the sums a report must find.
struct History {
    std::map<std::string, int64_t> balances;
    std::map<int, int64_t> created, destroyed;
    std::string records;
    uint64_t sequence = 0;

    void change(JournalKind kind, JournalCause cause, const char* name, const char* party, int32_t amount, int64_t time,
                bool ends = true, int64_t detail = 0) {
        const int64_t before = *name != '\0' ? balances[name] : 0;
        const int64_t after = kind == JournalKind::Cleared ? 0 : before + amount;
        if (*name != '\0') balances[name] = after;
        (after > before ? created : destroyed)[static_cast<int>(cause)] += after - before;
        JournalRecord record = makeJournalRecord(kind, amount, name, {cause, party, detail},
                                                 static_cast<int32_t>(before), static_cast<int32_t>(after));
        record.time = start + time;
        record.flags = ends ? endsTransaction : 0;
        sealJournalRecord(record, ++sequence);
        records.append(reinterpret_cast<const char*>(&record), sizeof record);
    }

    void write(const ScratchDir& scratch) const {
        HistoryHeader header{};
        std::memcpy(header.magic, historyMagic, sizeof historyMagic);
        scratch.write("Quorlen.history.2026-12",
                      std::string(reinterpret_cast<const char*>(&header), sizeof header) + records);
        std::string bank;
        for (const auto& [name, credits] : balances) bank += bankRecord(name, static_cast<int32_t>(credits));
        scratch.write(bankFileName(), bank);
    }
};

// Three days of an arena: every cause, a !creset undone, a rollback.
History everyCause() {
    using enum JournalKind;
    using enum JournalCause;
    History h;
    h.change(Add, Kill, "Alice", "Bob", 10, 600, false);
    h.change(Add, Death, "Bob", "Alice", -2, 600);
    h.change(Add, TeamKill, "Bob", "Carol", -20, 3000, false);
    h.change(Add, TeamDeath, "Carol", "Bob", 0, 3000);
    h.change(Add, Prize, "Alice", "", 20, 7200, true, 13);
    h.change(Add, FlagVictory, "Alice", "", 100, 30000, false, 1);
    h.change(Add, FlagVictory, "Bob", "", 5, 30000, true, 1);
    h.change(Add, SoccerGoal, "Carol", "", 25, 90000, true, 0);
    h.change(Add, DonationReceived, "Bob", "Alice", 20, 95000, false);
    h.change(Add, DonationGiven, "Alice", "Bob", -20, 95000);
    h.change(Subtract, Purchase, "Alice", "Radar", -30, 100000, true, 3);
    h.change(Add, OperatorGive, "Bob", "Carol", 200, 120000);
    h.change(Subtract, OperatorTake, "Alice", "Carol", -10, 130000);
    h.change(Add, ToolSet, "Dave", "", 50, 140000);
    const uint64_t reset = h.sequence + 1;
    const std::map<std::string, int64_t> taken = h.balances;
    for (const char* name : {"Alice", "Bob", "Carol", "Dave"}) {
        h.change(Cleared, OperatorReset, name, "Carol", 0, 180000, false);
    }
    h.change(Reset, OperatorReset, "", "Carol", 0, 180000);
    for (const auto& [name, credits] : taken) {
        h.change(Add, Undo, name.c_str(), "", static_cast<int32_t>(credits), 200000, name == "Dave",
                 static_cast<int64_t>(reset));
    }
    h.change(Add, Rollback, "Dave", "", -50, 250000, true, start + 140000);
    return h;
}

nlohmann::json dataOf(const std::string& page) {
    const std::string open = "<script type=\"application/json\" id=\"data\">";
    const size_t from = page.find(open) + open.size();
    return nlohmann::json::parse(page.substr(from, page.find("</script>", from) - from));
}

TEST(Report, DataOfAHistoryWithEveryCause) {
    ScratchDir scratch;
    History history = everyCause();
    history.write(scratch);
    ASSERT_EQ(runKadrel("report -o page.html").status, 0);
    nlohmann::json data = dataOf(scratch.read("page.html"));
    // The page's cause list is the build's own table, not restated here:
    // every cause the history holds is in it, with a number and a class.
    std::map<std::string, int> numbers;
    for (const auto& c : data["causes"]) numbers[c["name"]] = c.contains("class") ? int{c["number"]} : -1;
    data.erase("causes");
    std::string golden;  // a line per section, in the order of their names
    for (const auto& [key, value] : data.items()) golden += key + ": " + value.dump() + "\n";
    EXPECT_EQ(golden, tools::readWholeFile(KADREL_TRANSCRIPTS "/report_data.expected").value_or(""));

    ASSERT_EQ(data["causeTotals"].size(), 16u);
    for (const auto& total : data["causeTotals"]) {
        const std::string name = total["cause"];
        ASSERT_GE(numbers.contains(name) ? numbers[name] : -1, 0) << name << " has no number or class on the page";
        EXPECT_EQ(total["created"], history.created[numbers[name]]) << total;
        EXPECT_EQ(total["destroyed"], history.destroyed[numbers[name]]) << total;
    }
    int64_t sum = 0;
    for (const auto& [name, credits] : history.balances) sum += credits;
    EXPECT_EQ(data["supply"]["values"].front(), 0) << "the bank began empty";
    EXPECT_EQ(data["supply"]["values"].back(), sum);
    EXPECT_EQ(data["wealth"]["sum"], sum);
    EXPECT_EQ(data["players"]["topEarners"].dump(),
              R"([{"credits":130,"name":"Alice"},{"credits":25,"name":"Bob"},{"credits":25,"name":"Carol"}])")
        << "earnings come from play alone, never from cgive, set or undo";
    const std::string totals = "<td class=\"n\">" + std::to_string(sum) + "</td></tr>\n</tfoot>";
    EXPECT_NE(scratch.read("page.html").find(totals), std::string::npos) << "the totals row's net is what is held";

    // From the third day: the !creset, its undo and the rollback, all of them shown.
    ASSERT_EQ(runKadrel("report --from 2026-12-03 -o page.html").status, 0);
    const std::string page = scratch.read("page.html");
    const nlohmann::json operators = dataOf(page)["operators"];
    EXPECT_EQ(operators["count"], 3);
    EXPECT_EQ(page.find("the newest"), std::string::npos);
    // Newest first, and what the undo and the rollback went back on.
    ASSERT_EQ(operators["shown"].size(), 3u);
    EXPECT_EQ(operators["shown"][0]["reverses"], "to 2026-12-02T14:53:20Z");
    EXPECT_EQ(operators["shown"][1]["reverses"], "transaction 15 (creset)");
    EXPECT_NE(page.find("<td>undo of transaction 15 (creset)</td>"), std::string::npos);
}

// Buckets come from the span of the changes the page shows, not a fixed scale.
TEST(Report, BucketsFollowTheSpanShown) {
    struct Case { int64_t span; const char* arguments; int64_t width; };
    for (const Case& c : {Case{0, "", 1}, Case{100, "", 1}, Case{200, "", 10}, Case{3000, "", 60},
                          Case{86400, "", 600}, Case{250000, "", 3600}, Case{250000, "--from 2026-12-03", 1}}) {
        ScratchDir scratch;
        History history;
        history.change(JournalKind::Add, JournalCause::Kill, "Ann", "", 1, 0);
        history.change(JournalKind::Add, JournalCause::Kill, "Ann", "", 1, c.span);
        history.write(scratch);
        ASSERT_EQ(runKadrel("report " + std::string(c.arguments)).status, 0);
        EXPECT_EQ(dataOf(scratch.read("economy.html"))["flows"]["width"], c.width) << c.span << " " << c.arguments;
    }
}

// A name from chat is text on the page, in the tables and in the data, never markup.
TEST(Report, NamesAreTextNotMarkup) {
    ScratchDir scratch;
    History history;
    const char* const name = "</script><b>&\"";
    history.change(JournalKind::Add, JournalCause::Prize, name, "", 5, 60);
    history.write(scratch);
    ASSERT_EQ(runKadrel("report").status, 0);
    const std::string page = scratch.read("economy.html");
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_NE(page.find("&lt;/script&gt;&lt;b&gt;&amp;&quot;"), std::string::npos);
    EXPECT_EQ(dataOf(page)["players"]["topBalances"][0]["name"], name);
}

// Whatever is missing, the page says why it has nothing to draw.
TEST(Report, PagesWithNothingToDraw) {
    struct Case {
        const char* name;
        size_t records;  // of everyCause's, the rest cut off; 0 for no history
        bool damaged;    // the third record's check spoiled, which cuts the second transaction short
        const char* arguments;
        const char* says;
        bool charts;
        const char* health = "sound";  // in words at the top, and the exit status 1 unless sound
        const char* bank = "";         // the bank's bytes instead of the history's, "-" for none
    };
    for (const Case& c : {
             Case{"no history", 0, false, "", "No changes yet", false},
             Case{"a damaged month", 4, true, "", "Quorlen.history.2026-12 is damaged: 2 of its 4 changes", true,
                  "damaged"},
             Case{"an empty range", 30, false, "--from 2027-01-01", "No changes from 2027-01-01 in the history", false},
             Case{"a range before the history", 30, false, "--to 2026-11-30",
                  "It holds changes from 2026-12-01T00:10:00Z", false},
             Case{"no bank", 30, false, "", "Quorlen.bank is missing", false, "missing", "-"},
             Case{"a damaged bank", 30, false, "", "Quorlen.bank is damaged", false, "damaged", "torn"},
         }) {
        ScratchDir scratch;
        History history = everyCause();
        history.records.resize(std::min(history.records.size(), c.records * sizeof(JournalRecord)));
        if (c.damaged) history.records[2 * sizeof(JournalRecord) + 84] ^= 1;
        history.write(scratch);
        if (*c.bank != '\0') std::filesystem::remove(bankFileName());
        if (*c.bank != '\0' && *c.bank != '-') scratch.write(bankFileName(), bankRecord("Alice", 5) + c.bank);
        const ProgramRun run = runKadrel("report " + std::string(c.arguments));
        EXPECT_EQ(run.status, c.health == std::string("sound") ? 0 : 1) << c.name << ": " << run.err;
        const std::string page = scratch.read("economy.html");
        EXPECT_NE(page.find(c.says), std::string::npos) << c.name;
        // The rest of the page agrees: no balances from a bank that could not be read.
        EXPECT_EQ(page.find("<td>Accounts</td><td class=\"n\">unknown") != std::string::npos, *c.bank != '\0') << c.name;
        EXPECT_EQ(page.find("data-chart=\"supply\"") != std::string::npos, c.charts) << c.name;
        EXPECT_NE(page.find("<strong>Health: " + std::string(c.health) + ".</strong>"), std::string::npos) << c.name;
        EXPECT_NE(page.find("</html>\n"), std::string::npos) << c.name;
    }
}

// What the command refuses, each with a line that says why, and the bank's
// files left as they were.
TEST(Report, Refusals) {
    struct Case {
        const char* arguments;
        const char* says;  // on the error stream
        int status = 1;  // -1: a usage error, whatever its number
    };
    ScratchDir scratch;
    everyCause().write(scratch);
    const std::string bank = scratch.read(bankFileName()), month = scratch.read("Quorlen.history.2026-12");
    std::filesystem::create_directory("empty");
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    for (const Case& c : {
             Case{"-o Quorlen.bank", "Quorlen.bank is one of the bank's files; nothing was written"},
             Case{"-o ./Quorlen.bank.journal", "is one of the bank's files"},
             Case{"-o Quorlen.history.2026-12", "is one of the bank's files"},
             Case{"-o pipe", "pipe is not a regular file; nothing was written"},
             Case{"no-folder", "no-folder: no such folder"},
             Case{"Quorlen.bank", "Quorlen.bank is not a folder"},
             Case{"empty", "empty holds no Quorlen.bank, journal or history: nothing to report"},
             Case{"--from 2026-12-03 --to 2026-12-02", "--from 2026-12-03 is not before --to 2026-12-02"},
             Case{"--from yesterday", "--from: a date is written as 2026-12-08", 2},
             Case{"-o=page.html", "write -o page.html or --output=page.html", -1},
         }) {
        const ProgramRun run = runKadrel("report " + std::string(c.arguments));
        EXPECT_TRUE(c.status < 0 ? run.status != 0 : run.status == c.status) << c.arguments << ": " << run.status;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.arguments << ": " << run.err;
    }
    EXPECT_EQ(scratch.read(bankFileName()), bank);
    EXPECT_EQ(scratch.read("Quorlen.history.2026-12"), month);
    for (const char* never : {"Quorlen.bank.journal", "=page.html", "economy.html", "empty/economy.html"})
        EXPECT_FALSE(scratch.exists(never)) << never;
    // A stray file whose name is not UTF-8 is listed, not a reason to stop.
    scratch.write("Quorlen.history.\xff\xfe", "x");
    const ProgramRun run = runKadrel("report");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(dataOf(scratch.read("economy.html"))["health"]["historyFiles"].dump().find("Quorlen.history.\ufffd"),
              std::string::npos);
}

}  // namespace
}  // namespace kadrel::testing

// kadrel report against histories written record by record: the data
// section of a fixed history with every cause against a golden file and
// against the records' own sums, and the pages of histories with nothing to draw.
#include <gtest/gtest.h>

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
    const History history = everyCause();
    history.write(scratch);
    ASSERT_EQ(runKadrel("report -o page.html").status, 0);
    const nlohmann::json data = dataOf(scratch.read("page.html"));
    std::string golden;  // a line per section, in the order of their names
    for (const auto& [key, value] : data.items()) golden += key + ": " + value.dump() + "\n";
    EXPECT_EQ(golden, tools::readWholeFile(KADREL_TRANSCRIPTS "/report_data.expected").value_or(""));

    const char* const causes[] = {"unknown",  "kill",         "death",       "team-kill",      "team-death",
                                  "prize",    "flag-victory", "soccer-goal", "donation-given", "donation-received",
                                  "purchase", "cgive",        "ctake",       "creset",         "undo",
                                  "rollback", "set"};
    ASSERT_EQ(data["causeTotals"].size(), 16u);
    for (const auto& total : data["causeTotals"]) {
        const std::string name = total["cause"];
        const int cause = static_cast<int>(std::find(std::begin(causes), std::end(causes), name) - causes);
        EXPECT_EQ(total["created"], history.created.count(cause) ? history.created.at(cause) : 0) << total;
        EXPECT_EQ(total["destroyed"], history.destroyed.count(cause) ? history.destroyed.at(cause) : 0) << total;
    }
    int64_t sum = 0;
    for (const auto& [name, credits] : history.balances) sum += credits;
    EXPECT_EQ(data["supply"]["values"].front(), 0) << "the bank began empty";
    EXPECT_EQ(data["supply"]["values"].back(), sum);
    EXPECT_EQ(data["wealth"]["sum"], sum);

    // From the third day: the !creset, its undo and the rollback, all of them shown.
    ASSERT_EQ(runKadrel("report --from 2026-12-03 -o page.html").status, 0);
    const std::string page = scratch.read("page.html");
    EXPECT_EQ(dataOf(page)["operators"]["count"], 3);
    EXPECT_EQ(page.find("the newest"), std::string::npos);
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
        bool damageShown = false;
    };
    for (const Case& c : {
             Case{"no history", 0, false, "", "No changes yet", false},
             Case{"a damaged month", 4, true, "", "Quorlen.history.2026-12 is damaged: 2 of its 4 changes", true, true},
             Case{"an empty range", 30, false, "--from 2027-01-01", "No changes from 2027-01-01 in the history", false},
             Case{"a range before the history", 30, false, "--to 2026-11-30",
                  "It holds changes from 2026-12-01T00:10:00Z", false},
         }) {
        ScratchDir scratch;
        if (c.records > 0) {
            History history = everyCause();
            history.records.resize(std::min(history.records.size(), c.records * sizeof(JournalRecord)));
            if (c.damaged) history.records[2 * sizeof(JournalRecord) + 84] ^= 1;
            history.write(scratch);
        }
        const ProgramRun run = runKadrel("report " + std::string(c.arguments));
        EXPECT_EQ(run.status, 0) << c.name << ": " << run.err;
        const std::string page = scratch.read("economy.html");
        EXPECT_NE(page.find(c.says), std::string::npos) << c.name;
        EXPECT_EQ(page.find("data-chart=\"supply\"") != std::string::npos, c.charts) << c.name;
        EXPECT_EQ(page.find("No damaged file was found") == std::string::npos, c.damageShown) << c.name;
        EXPECT_NE(page.find("</html>\n"), std::string::npos) << c.name;
    }
    EXPECT_EQ(runKadrel("report --from yesterday").status, 1);
}

}  // namespace
}  // namespace kadrel::testing

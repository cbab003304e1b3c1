// The bank's read side: what it makes of files in every state a crash, an
// operator or a newer build can leave, without changing a byte of them, and
// snapshots that add up while bots append and checkpoint.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <span>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "accounts/bank_journal.h"
#include "accounts/bank_reader.h"
#include "accounts/history_file.h"
#include "accounts/ledger.h"
#include "bank_model.h"
#include "scratch_dir.h"

namespace kadrel::testing {
namespace {

using Kind = ReadProblem::Kind;

std::string bytesOf(const void* data, size_t size) { return std::string(static_cast<const char*>(data), size); }

std::string record(const char* name, int32_t amount, uint64_t sequence, bool ends = true,
                   JournalKind kind = JournalKind::Add, uint8_t cause = uint8_t(JournalCause::Prize)) {
    JournalRecord r = makeJournalRecord(kind, amount, name, {static_cast<JournalCause>(cause)}, 0, amount);
    r.flags = ends ? endsTransaction : 0;
    sealJournalRecord(r, sequence);
    return bytesOf(&r, sizeof r);
}

uint64_t hashOf(const std::string& bank) {
    BankHasher hasher;
    hasher.add(bank.data(), bank.size());
    return hasher.result();
}

// A journal header naming `bank`, with an announcement of `pending` when given.
std::string journalHeader(const std::string& bank, const char* magic = "KDRLJRN2", const std::string* pending = nullptr,
                          uint64_t first = 1) {
    JournalHeader header{};
    std::memcpy(header.magic, magic, sizeof header.magic);
    header.generation = 7;
    header.bankLength = bank.size();
    header.bankHash = hashOf(bank);
    header.firstSequence = first;
    if (pending != nullptr) {
        header.pendingLength = pending->size();
        header.pendingHash = hashOf(*pending);
    }
    return bytesOf(&header, sizeof header);
}

int64_t sumOf(const kadrel::Ledger& ledger) {
    int64_t sum = 0;
    for (const CreditAccount& account : ledger) sum += account.credits;
    return sum;
}

const std::string ann = bankRecord("Ann", 100);
const std::string folded = bankRecord("Ann", 105);

// Each state of the files, what the snapshot holds and what it reports; the
// files stay byte for byte as they were.
TEST(BankReader, ReportsWhatItPassesOverAndWritesNothing) {
    std::string spoilt = record("Ann", 5, 1) + record("Bob", 1, 2) + record("Cy", 1, 3);
    spoilt[100] ^= 1;
    const struct Case {
        const char* name;
        std::string bank;  // "-" for none
        std::string journal;
        std::vector<Kind> problems;
        int64_t sum;
        bool known;
    } cases[] = {
        {"bank and journal", ann, journalHeader(ann) + record("Ann", 5, 1), {}, 105, true},
        {"a torn tail", ann, journalHeader(ann) + record("Ann", 5, 1) + record("Bob", 9, 2, false), {}, 105, true},
        {"no journal yet", ann, "", {}, 100, true},
        {"a journal alone", "-", journalHeader("") + record("Ann", 5, 1), {}, 5, true},
        {"a bank copied in", bankRecord("Zed", 1), journalHeader(ann) + record("Ann", 5, 1), {}, 6, true},
        {"the announced bank in place", folded, journalHeader(ann, "KDRLJRN2", &folded) + record("Ann", 5, 1), {}, 105,
         true},
        {"an announcement withdrawn", ann, journalHeader(ann, "KDRLJRN2", &folded) + record("Ann", 5, 1), {}, 105,
         true},
        {"damage before sound records", ann, journalHeader(ann) + spoilt, {Kind::DamagedRecords}, 105, true},
        {"a header of neither version", ann, journalHeader(ann, "KDRLXXX2") + record("Ann", 5, 1),
         {Kind::DamagedHeader}, 100, true},
        {"a newer build's journal", ann, journalHeader(ann, "KDRLJRN3") + record("Ann", 5, 1), {Kind::NewerVersion},
         100, false},
        {"the bank removed", "-", journalHeader(ann) + record("Ann", 5, 1), {Kind::BankMissing}, 0, false},
        {"a damaged bank", ann + "x", journalHeader(ann), {Kind::DamagedBank}, 0, false},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        if (c.bank != "-") scratch.write(bankFileName(), c.bank);
        if (!c.journal.empty()) scratch.write("Quorlen.bank.journal", c.journal);
        kadrel::Ledger ledger;
        const BankSnapshot snapshot = readBankSnapshot(ledger);
        std::vector<Kind> kinds;
        for (const ReadProblem& problem : snapshot.problems) kinds.push_back(problem.kind);
        EXPECT_EQ(kinds, c.problems) << c.name;
        EXPECT_EQ(snapshot.balancesKnown(), c.known) << c.name;
        if (c.known) { EXPECT_EQ(sumOf(ledger), c.sum) << c.name; }
        EXPECT_EQ(scratch.exists(bankFileName()), c.bank != "-") << c.name;
        if (c.bank != "-") { EXPECT_EQ(scratch.read(bankFileName()), c.bank) << c.name; }
        EXPECT_EQ(scratch.read("Quorlen.bank.journal"), c.journal) << c.name;
    }
}

// Where the spoilt record lies and how many changes it costs: its
// transaction, and since its own end mark cannot be trusted, the records up
// to the next end of one; one at the very end is an append under way only
// where the journal goes on from it.
TEST(BankReader, AHistoryPassesOverOnlyTheDamagedTransaction) {
    struct Taken final : TransactionVisitor {
        void transaction(std::span<const JournalRecord> records) override {
            for (const JournalRecord& r : records) sequences.push_back(r.sequence);
            sequences.push_back(0);
        }
        std::vector<uint64_t> sequences;
    };
    const std::string header = std::string("KDRLHST2") + std::string(8, '\0');
    const std::string records = record("A", 1, 1) + record("B", 1, 2, false) + record("C", 1, 3, false) +
                                record("D", 1, 4) + record("E", 1, 5) + record("F", 1, 6);
    const struct Case {
        size_t spoilt;  // the record spoilt
        std::vector<uint64_t> taken;
        uint64_t skipped;
        uint64_t journalFirst = 0;  // 0: no journal
    } cases[] = {
        {1, {1, 0, 5, 0, 6, 0}, 3},
        {3, {1, 0, 6, 0}, 4},
        {4, {1, 0, 2, 3, 4, 0}, 2},
        {5, {1, 0, 2, 3, 4, 0, 5, 0}, 1},
        {5, {1, 0, 2, 3, 4, 0, 5, 0}, 1, 8},
        {5, {1, 0, 2, 3, 4, 0, 5, 0}, 0, 6},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        std::string spoilt = records;
        spoilt[c.spoilt * sizeof(JournalRecord) + 40] ^= 1;
        scratch.write("Quorlen.history.2026-11", header + spoilt);
        if (c.journalFirst != 0) {
            scratch.write("Quorlen.bank.journal", journalHeader("", "KDRLJRN2", nullptr, c.journalFirst));
        }
        Taken taken;
        const WalkEnd end = walkTransactions(taken);
        EXPECT_EQ(taken.sequences, c.taken) << c.spoilt;
        ASSERT_EQ(end.problems.size(), c.skipped > 0 ? 1u : 0u) << c.spoilt;
        if (c.skipped == 0) continue;
        const ReadProblem& problem = end.problems.front();
        EXPECT_EQ(problem.kind, Kind::DamagedRecords);
        EXPECT_STREQ(problem.file.text(), "Quorlen.history.2026-11");
        EXPECT_EQ(problem.offset, header.size() + c.spoilt * sizeof(JournalRecord));
        EXPECT_EQ(problem.skipped, c.skipped) << c.spoilt;
        EXPECT_EQ(problem.records, 6u);
    }
}

struct Heard final : BankReporter {
    void report(const char* message) override { lines.emplace_back(message); }
    std::vector<std::string> lines;
};

// A bot's view of the folder after one load and one more look, and the
// files left as they were.
struct Loaded {
    bool ready;
    int32_t ann;
    std::vector<std::string> said;
};

Loaded loadBot(ScratchDir& scratch, const std::string& journal) {
    scratch.write(bankFileName(), ann);
    scratch.write("Quorlen.bank.journal", journal);
    kadrel::Ledger ledger;
    Heard heard;
    BankJournal bank(ledger, heard, 1);
    bank.load();
    { const BankJournal::Hold again(bank); }
    const CreditAccount* account = ledger.find("Ann");
    Loaded loaded{bank.ready(), account != nullptr ? account->credits : 0, heard.lines};
    bank.close();
    EXPECT_EQ(scratch.read("Quorlen.bank.journal"), journal) << "the journal was changed";
    EXPECT_FALSE(scratch.exists("Quorlen.bank.journal.damaged")) << "the journal was copied aside";
    return loaded;
}

// A cause this build does not know is applied like any other, and named by
// its number.
TEST(BankVersions, ASoundRecordOfAnUnknownCauseIsApplied) {
    for (const uint8_t cause : {17, 18, 200, 255}) {
        ScratchDir scratch;
        const Loaded loaded = loadBot(scratch, journalHeader(ann) + record("Ann", 5, 1, true, JournalKind::Add, cause));
        EXPECT_TRUE(loaded.ready) << int{cause};
        EXPECT_EQ(loaded.ann, 105) << int{cause};
        EXPECT_TRUE(loaded.said.empty()) << int{cause} << ": " << loaded.said.front();
        kadrel::Ledger read;
        EXPECT_TRUE(readBankSnapshot(read).balancesKnown()) << int{cause};
        EXPECT_EQ(sumOf(read), 105) << int{cause};
    }
}

// A newer build's journal or record: the bot shows nothing and says so
// once, naming the version; nothing is copied or cut.
TEST(BankVersions, ANewerBuildsJournalIsWaitedFor) {
    const struct Case {
        const char* name;
        std::string journal;
        const char* says;
    } cases[] = {
        {"a header of version 3", journalHeader(ann, "KDRLJRN3") + record("Ann", 5, 1), "is of version 3, newer"},
        {"a record of a newer kind", journalHeader(ann) + record("Ann", 5, 1, true, JournalKind(9)),
         "of a kind that this build (journal version 2)"},
        {"a newer record between known ones",
         journalHeader(ann) + record("Ann", 5, 1) + record("Ann", 5, 2, true, JournalKind(9)) + record("Ann", 5, 3),
         "of a kind that this build (journal version 2)"},
    };
    for (const Case& c : cases) {
        ScratchDir scratch;
        const Loaded loaded = loadBot(scratch, c.journal);
        EXPECT_FALSE(loaded.ready) << c.name;
        ASSERT_EQ(loaded.said.size(), 1u) << c.name;
        EXPECT_NE(loaded.said.front().find(c.says), std::string::npos) << c.name << ": " << loaded.said.front();
        kadrel::Ledger read;
        const BankSnapshot snapshot = readBankSnapshot(read);
        EXPECT_FALSE(snapshot.balancesKnown()) << c.name;
        ASSERT_FALSE(snapshot.problems.empty()) << c.name;
        EXPECT_EQ(snapshot.problems.front().kind, Kind::NewerVersion) << c.name;
    }
}

#if !defined(_WIN32)

// One bot moving credits between the accounts, a transaction a move, and
// checkpointing now and then.
[[noreturn]] void moveCredits(uint32_t owner) {
    {
        kadrel::Ledger ledger;
        Heard heard;
        BankJournal bank(ledger, heard, owner);
        bank.load();
        const char* const names[] = {"Ann", "Bob", "Cy", "Dee"};
        for (uint32_t step = 0; step < 600; ++step) {
            {
                const BankJournal::Hold hold(bank);
                if (!bank.ready()) continue;
                for (const auto& [name, by] : {std::pair{names[(step + owner) % 4], -3}, std::pair{names[step % 3], 3}}) {
                    const CreditAccount* account = ledger.find(name);
                    const int32_t before = account != nullptr ? account->credits : 0;
                    bank.reserve(1);
                    ledger.award(by, name);
                    bank.note(makeJournalRecord(JournalKind::Add, by, name, {JournalCause::ToolSet}, before,
                                                before + by));
                }
            }
            if (step % 40 == owner) bank.checkpoint(1);
        }
    }
    _exit(0);
}

TEST(BankReader, EverySnapshotAddsUpWhileTwoBotsAppendAndCheckpoint) {
    ScratchDir scratch;
    scratch.write(bankFileName(), bankRecord("Ann", 1000) + bankRecord("Bob", 1000) + bankRecord("Cy", 1000) +
                                      bankRecord("Dee", 1000));
    std::vector<pid_t> bots;
    for (uint32_t owner : {1u, 2u}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) moveCredits(owner);
        bots.push_back(child);
    }
    std::set<uint64_t> generations;
    int snapshots = 0;
    for (bool running = true; running; ++snapshots) {
        kadrel::Ledger ledger;
        const BankSnapshot snapshot = readBankSnapshot(ledger);
        ASSERT_TRUE(snapshot.problems.empty()) << snapshots;
        ASSERT_EQ(sumOf(ledger), 4000) << "snapshot " << snapshots;
        generations.insert(snapshot.journal.header.generation);
        running = false;
        for (pid_t bot : bots) running = running || waitpid(bot, nullptr, WNOHANG) == 0;
    }
    for (pid_t bot : bots) waitpid(bot, nullptr, 0);
    EXPECT_GT(snapshots, 20);
    EXPECT_GT(generations.size(), 3u) << "the reads never met a checkpoint: the test proved little";
}
#endif

}  // namespace
}  // namespace kadrel::testing

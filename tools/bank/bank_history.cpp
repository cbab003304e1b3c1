#include "tools/bank/bank_history.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <span>
#include <vector>

#include "accounts/bank_reader.h"
#include "accounts/history_file.h"
#include "accounts/name_key.h"
#include "core/civil_time.h"
#include "core/text.h"
#include "tools/bank/bank_text.h"
#include "tools/working_directory.h"

namespace kadrel::tools {

namespace {

struct Selection {
    std::optional<uint64_t> transaction;
    std::optional<NameKey> player;
    std::optional<NameKey> operatorName;
    int cause = -1;
    TimeRange range;
    uint64_t last = 0;  // 0: every one
};

bool isOperatorCause(uint8_t cause) {
    const CauseEntry* entry = causeEntry(cause);
    return entry != nullptr && entry->kind == CauseClass::Operator;
}

bool selects(const Selection& selection, std::span<const JournalRecord> transaction) {
    const int64_t time = transaction.front().time;
    if ((selection.transaction && transaction.front().sequence != *selection.transaction) || time < selection.range.from ||
        time >= selection.range.to) {
        return false;
    }
    bool cause = selection.cause < 0;
    bool player = !selection.player;
    bool byOperator = !selection.operatorName;
    for (const JournalRecord& r : transaction) {
        cause = cause || r.cause == selection.cause;
        player = player || nameKeyOfField(r.name) == *selection.player;
        byOperator = byOperator || (isOperatorCause(r.cause) && nameKeyOfField(r.party) == *selection.operatorName);
    }
    return cause && player && byOperator;
}

// Hands on the transactions selected, or with `everyOne` all of them, each
// with whether it is selected; notes the runs of numbers it never saw.
class Selector final : public TransactionVisitor {
public:
    using Take = std::function<void(const Transaction&, bool picked)>;

    Selector(const Selection& selection, Take take, bool everyOne = false, uint64_t after = 0)
        : selection(selection), take(std::move(take)), everyOne(everyOne), last(after) {}

    void transaction(std::span<const JournalRecord> records) override {
        skipTo(records.front().sequence);
        last = records.back().sequence;
        // A transaction brought down from another machine ends in a record
        // that moves no balance: nothing to show, select or undo.
        records = records.first(static_cast<size_t>(
            std::find_if(records.begin(), records.end(), [](const JournalRecord& r) { return !concernsBalance(r); }) -
            records.begin()));
        if (records.empty()) return;
        // Most transactions are one record, copied only when handed on.
        const bool picked = selects(selection, records);
        if (picked || everyOne) take(Transaction(records.begin(), records.end()), picked);
    }

    // Numbers between the last one seen and `next` were never handed over:
    // damage, or a file missing. The first number seen starts the count.
    void skipTo(uint64_t next) {
        if (last != 0 && next > last + 1) missing.emplace_back(last + 1, next - 1);
        if (next > last + 1) last = next - 1;
    }

    std::vector<std::pair<uint64_t, uint64_t>> missing;

private:
    const Selection& selection;
    Take take;
    bool everyOne;
    uint64_t last;
};

class Printer {
public:
    explicit Printer(const HistoryQuery& query) : query(query) {}

    void print(const Transaction& transaction) {
        begin();
        for (const JournalRecord& record : transaction) {
            const uint64_t id = transaction.front().sequence;
            const std::string cause = causeText(record.cause);
            if (query.json) {
                list.push_back({{"transaction", id},
                                {"sequence", record.sequence},
                                {"time", isoTime(record.time)},
                                {"cause", cause},
                                {"name", latin1AsUtf8(fieldText(record.name))},
                                {"change", movedBy(record)},
                                {"balance", record.after},
                                {"party", latin1AsUtf8(fieldText(record.party))},
                                {"detail", record.detail}});
            } else if (query.csv) {
                std::cout << id << ',' << record.sequence << ',' << isoTime(record.time) << ',' << cause << ','
                          << csvField(escapeName(fieldText(record.name))) << ',' << movedBy(record) << ','
                          << record.after << ',' << csvField(escapeName(fieldText(record.party))) << ','
                          << record.detail << '\n';
            } else {
                row(std::to_string(id), isoTime(record.time), cause, paddedColumn(shownName(fieldText(record.name)), 20),
                    std::to_string(movedBy(record)), std::to_string(record.after),
                    paddedColumn(shownName(fieldText(record.party)), 20),
                    std::to_string(record.detail));
            }
        }
        ++printed;
    }

    // The heading comes with the first line or the end, after the query was read.
    void begin() {
        if (begun) return;
        begun = true;
        if (query.csv) std::cout << "transaction,sequence,time,cause,name,change,balance,party,detail\n";
        if (!query.csv && !query.json)
            row("transaction", "time", "cause", "name", "change", "balance", "party", "detail");
    }

    void end() {
        begin();
        if (query.json) std::cout << list.dump(2) << '\n';
        if (!query.csv && !query.json && printed == 0) std::cout << "no changes\n";
    }

private:
    static void row(const std::string& id, const std::string& time, const std::string& cause, const std::string& name,
                    const std::string& amount, const std::string& balance, const std::string& party,
                    const std::string& detail) {
        std::cout << std::setw(11) << id << "  " << std::left << std::setw(20) << time << "  " << std::setw(18) << cause
                  << ' ' << std::setw(20) << name << std::right << std::setw(12) << amount << std::setw(13) << balance
                  << "  " << std::left << std::setw(20) << party << std::right << ' ' << detail << '\n';
    }

    const HistoryQuery& query;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    size_t printed = 0;
    bool begun = false;
};

std::optional<Selection> selectionOf(const HistoryQuery& query) {
    Selection selection;
    if (!query.name.empty()) selection.player = nameKeyOfText(query.name.c_str());
    if (!query.operatorName.empty()) selection.operatorName = nameKeyOfText(query.operatorName.c_str());
    if (!query.cause.empty()) {
        for (const CauseEntry& entry : causeTable) {
            if (query.cause == entry.name) selection.cause = static_cast<int>(entry.cause);
        }
        if (selection.cause < 0) {
            std::cerr << "kadrel bank: no cause is called " << query.cause << '\n';
            return std::nullopt;
        }
    }
    selection.range = query.range;
    const auto count = [](const std::string& text) -> uint64_t {
        const bool digits = !text.empty() && text.size() <= 18 &&
                            std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
        return digits ? std::stoull(text) : 0;
    };
    if (!query.last.empty() && (selection.last = count(query.last)) == 0) {
        std::cerr << "kadrel bank: --last takes a whole number from 1\n";
        return std::nullopt;
    }
    if (!query.transaction.empty() && (selection.transaction = count(query.transaction)) == 0u) {
        std::cerr << "kadrel bank: a transaction's number is a whole number from 1\n";
        return std::nullopt;
    }
    return selection;
}

bool readTransactions(const HistoryQuery& query, const Selector::Take& take, bool everyOne, HistoryRead* read) {
    const std::optional<Selection> selection = selectionOf(query);
    if (!selection) return false;
    std::deque<Transaction> kept;
    Selector selector(
        *selection,
        [&](const Transaction& transaction, bool picked) {
            if (selection->last == 0) return take(transaction, picked);
            kept.push_back(transaction);
            if (kept.size() > selection->last) kept.pop_front();
        },
        everyOne);
    const WalkEnd end = walkTransactions(selector);
    // The journal's numbers go on after the history's: what lies between,
    // after a record read or damage reported, was lost.
    if (end.lastRead != 0 || !end.problems.empty()) selector.skipTo(end.journalFirstSequence);
    for (const Transaction& transaction : kept) take(transaction, true);
    if (read == nullptr) {
        for (const ReadProblem& problem : end.problems) std::cerr << "kadrel bank: " << problemText(problem) << '\n';
        return true;
    }
    read->lastFiled = end.lastFiled;
    read->lastFiledTime = end.lastFiledTime;
    read->lastRead = end.lastRead;
    read->problems = end.problems;
    read->missing = std::move(selector.missing);
    return true;
}

}  // namespace

bool forEachTransaction(const HistoryQuery& query, const std::function<void(const Transaction&)>& take,
                        HistoryRead* read) {
    return readTransactions(query, [&](const Transaction& transaction, bool) { take(transaction); }, false, read);
}

bool forEachMarkedTransaction(const HistoryQuery& query, const MarkedTake& take, HistoryRead& read) {
    return readTransactions(query, take, true, &read);
}

bool forEachNewMarkedTransaction(const HistoryQuery& query, uint64_t& lastRead, const MarkedTake& take) {
    const std::optional<Selection> selection = selectionOf(query);
    if (!selection) return false;
    Selector selector(*selection, take, true, lastRead);
    const WalkEnd end = walkTransactions(selector, lastRead, true);
    if (end.journalFirstSequence == 0 || end.journalFirstSequence > lastRead + 1) return false;
    lastRead = std::max(lastRead, end.lastRead);
    return true;
}

namespace {

// Whole months only, never the newest file: it carries the numbering on.
// Shows what would go, and removes it only with `apply`.
int prune(const std::string& before, bool apply) {
    if (before.size() != 7 || !parseIsoTime(before + "-01T00:00:00Z")) {
        std::cerr << "kadrel bank: --prune-before takes a month, as 2026-12\n";
        return 1;
    }
    const std::vector<CharString> months = historyMonths();
    const std::string limit = KADREL_BANK_HISTORY "." + before;
    size_t removed = 0;
    for (size_t i = 0; i + 1 < months.size() && months[i].text() < limit; ++i) {
        std::error_code error;
        if (apply) std::filesystem::remove(months[i].text(), error);
        std::cout << (error ? "kept " : apply ? "removed " : "would remove ") << months[i].text()
                  << (error ? ": " + error.message() : "") << '\n';
        removed += !error;
    }
    if (removed == 0) std::cout << "nothing to remove\n";
    if (!apply && removed != 0) std::cout << "Nothing was removed: add --apply to remove these files.\n";
    return 0;
}

}  // namespace

bool hasHistory(const std::string& bankFile) {
    if (std::filesystem::path(bankFile).filename() == bank::fileName) return true;
    std::cerr << "kadrel bank: only " << bank::fileName << " has a history beside it\n";
    return false;
}

int showHistory(const std::string& bankFile, const HistoryQuery& query) {
    if (!hasHistory(bankFile)) return 1;
    const WorkingDirectory inDirectory(std::filesystem::path(bankFile).parent_path());
    if (!query.pruneBefore.empty()) return prune(query.pruneBefore, query.apply);
    Printer printer(query);
    if (!forEachTransaction(query, [&](const Transaction& transaction) { printer.print(transaction); })) return 1;
    printer.end();
    return 0;
}

}  // namespace kadrel::tools

// Reads the bank's folder for kadrel report and sums it up as the page's data.
#include "tools/report/economy_data.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "accounts/bank_format.h"
#include "accounts/bank_reader.h"
#include "accounts/history_file.h"
#include "tools/bank_view.h"

namespace kadrel::tools {

namespace {

using Json = nlohmann::ordered_json;

constexpr size_t listed = 10;

std::string shown(const std::string& name) { return latin1AsUtf8(name); }

bool pathExists(const char* name) {
    platform::FileReader file;
    return file.open(name) != platform::FileState::Missing;
}

// The size of a regular file; null when there is none.
Json fileSize(const char* name) {
    platform::FileReader file;
    return file.open(name) == platform::FileState::Regular ? Json(file.size()) : Json();
}

// The bank as the bots see it: the file plus the journal's changes not yet
// in it, read as they are, without a lock.
struct CurrentBank {
    Ledger ledger;
    std::string problem;                 // no balances can be had
    std::vector<std::string> passedOver;  // what the read passed over besides
};

void readBank(CurrentBank& bank) {
    const BankSnapshot snapshot = readBankSnapshot(bank.ledger);
    if (snapshot.balancesKnown()) {
        for (const ReadProblem& problem : snapshot.problems) bank.passedOver.push_back(problemText(problem));
        return;
    }
    bank.ledger.clear();
    bank.problem = std::string(bank::fileName) +
                   " is damaged: it could not be read with its journal, so no balances are shown; kadrel bank check "
                   "says what is wrong";
    for (const ReadProblem& problem : snapshot.problems) bank.problem += " (" + problemText(problem) + ")";
}

Json supplyOf(const EconomyTally& tally, int64_t endSupply) {
    Json times = Json::array(), values = Json::array();
    if (!tally.buckets.empty()) {
        int64_t supply = endSupply - tally.movedInRange;
        const int64_t last = tally.buckets.rbegin()->first;
        for (int64_t start = tally.buckets.begin()->first; start <= last; start += tally.width) {
            times.push_back(start);
            values.push_back(supply);
            const auto found = tally.buckets.find(start);
            if (found == tally.buckets.end()) continue;
            for (size_t cause = 0; cause < causeCount; ++cause) {
                supply += found->second.created[cause] + found->second.destroyed[cause];
            }
        }
        times.push_back(last + tally.width);
        values.push_back(supply);
    }
    return {{"width", tally.width}, {"times", times}, {"values", values}};
}

// Per bucket, the credits each cause created and destroyed; only the causes
// that moved any.
Json flowsOf(const EconomyTally& tally) {
    Json times = Json::array(), causes = Json::array();
    if (tally.buckets.empty()) return {{"width", tally.width}, {"times", times}, {"causes", causes}};
    const int64_t first = tally.buckets.begin()->first, last = tally.buckets.rbegin()->first;
    for (int64_t start = first; start <= last; start += tally.width) times.push_back(start);
    for (size_t cause = 0; cause < causeCount; ++cause) {
        if (tally.causeCreated[cause] == 0 && tally.causeDestroyed[cause] == 0) continue;
        Json created = Json::array(), destroyed = Json::array();
        for (int64_t start = first; start <= last; start += tally.width) {
            const auto found = tally.buckets.find(start);
            created.push_back(found == tally.buckets.end() ? 0 : found->second.created[cause]);
            destroyed.push_back(found == tally.buckets.end() ? 0 : found->second.destroyed[cause]);
        }
        causes.push_back({{"number", cause},
                          {"cause", causeText(static_cast<uint8_t>(cause))},
                          {"created", created},
                          {"destroyed", destroyed}});
    }
    return {{"width", tally.width}, {"times", times}, {"causes", causes}};
}

Json causeTotalsOf(const EconomyTally& tally) {
    Json totals = Json::array();
    for (size_t cause = 0; cause < causeCount; ++cause) {
        if (tally.causeChanges[cause] == 0) continue;
        totals.push_back({{"number", cause},
                          {"cause", causeText(static_cast<uint8_t>(cause))},
                          {"changes", tally.causeChanges[cause]},
                          {"created", tally.causeCreated[cause]},
                          {"destroyed", tally.causeDestroyed[cause]}});
    }
    return totals;
}

Json itemsOf(const EconomyTally& tally) {
    std::vector<std::pair<std::pair<int64_t, std::string>, ItemSales>> items(tally.items.begin(), tally.items.end());
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a.second.spent > b.second.spent; });
    Json list = Json::array();
    for (const auto& [item, sales] : items) {
        list.push_back({{"number", item.first},
                        {"name", shown(item.second)},
                        {"purchases", sales.purchases},
                        {"spent", sales.spent}});
    }
    return list;
}

// The `listed` largest values, ties by name, of accounts and former accounts.
Json ranking(const Ledger& ledger, const std::vector<std::pair<int64_t, uint32_t>>& accounts,
             const std::vector<std::pair<int64_t, std::string>>& others) {
    std::vector<std::pair<int64_t, std::string>> ranked = others;
    for (const auto& [value, index] : accounts) ranked.emplace_back(value, fieldText(ledger.at(index).name));
    std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    Json list = Json::array();
    for (size_t i = 0; i < ranked.size() && i < listed; ++i) {
        list.push_back({{"name", shown(ranked[i].second)}, {"credits", ranked[i].first}});
    }
    return list;
}

// The `listed` largest of value(index) over the accounts, without a copy of them all.
template <class Value>
std::vector<std::pair<int64_t, uint32_t>> largest(uint32_t count, const Value& value, bool positiveOnly) {
    std::vector<std::pair<int64_t, uint32_t>> best;
    const auto worse = [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    };
    for (uint32_t index = 0; index < count; ++index) {
        const std::optional<int64_t> v = value(index);
        if (!v || (positiveOnly && *v <= 0)) continue;
        if (best.size() == listed && !worse(std::pair{*v, index}, best.back())) continue;
        best.insert(std::upper_bound(best.begin(), best.end(), std::pair{*v, index}, worse), {*v, index});
        if (best.size() > listed) best.pop_back();
    }
    return best;
}

Json playersOf(const EconomyTally& tally, const Ledger& ledger, const std::vector<bool>& reachable) {
    std::vector<std::pair<int64_t, std::string>> earned, spent;
    for (const auto& [name, flow] : tally.formerPlayers) {
        if (flow.earned > 0) earned.emplace_back(flow.earned, name);
        if (flow.spent > 0) spent.emplace_back(flow.spent, name);
    }
    const uint32_t count = ledger.size();
    return {{"topBalances", ranking(ledger,
                                    largest(
                                        count,
                                        [&](uint32_t i) {
                                            return reachable[i] ? std::optional<int64_t>(ledger.at(i).credits)
                                                                : std::nullopt;
                                        },
                                        false),
                                    {})},
            {"topEarners",
             ranking(ledger,
                     largest(
                         count, [&](uint32_t i) { return std::optional<int64_t>(tally.players.at(i).earned); }, true),
                     earned)},
            {"topSpenders",
             ranking(ledger,
                     largest(
                         count, [&](uint32_t i) { return std::optional<int64_t>(tally.players.at(i).spent); }, true),
                     spent)}};
}

// How wealth is spread: the shares of the richest and a histogram by the
// number of digits of a balance.
Json wealthOf(const Ledger& ledger, const std::vector<bool>& reachable, int64_t& sum) {
    std::vector<int32_t> balances;
    balances.reserve(static_cast<size_t>(std::count(reachable.begin(), reachable.end(), true)));
    for (uint32_t index = 0; index < ledger.size(); ++index) {
        if (reachable[index]) balances.push_back(ledger.at(index).credits);
    }
    std::sort(balances.begin(), balances.end(), std::greater<>());
    static const char* const labels[] = {"below 0",          "0",
                                         "1 to 9",           "10 to 99",
                                         "100 to 999",       "1,000 to 9,999",
                                         "10,000 to 99,999", "100,000 to 999,999",
                                         "1,000,000 or more"};
    Json counts = Json::array();
    int64_t bins[std::size(labels)] = {};
    int64_t positive = 0;
    sum = 0;
    for (const int32_t credits : balances) {
        sum += credits;
        if (credits > 0) positive += credits;
        size_t bin = credits < 0 ? 0 : 1;
        for (int64_t limit = 1; credits >= limit && bin + 1 < std::size(labels); limit *= 10) ++bin;
        ++bins[bin];
    }
    for (const int64_t count : bins) counts.push_back(count);
    const auto share = [&](size_t percent) -> Json {
        if (positive <= 0) return nullptr;
        int64_t held = 0;
        const size_t richest = std::max<size_t>(1, (balances.size() * percent + 99) / 100);
        for (size_t i = 0; i < richest && i < balances.size() && balances[i] > 0; ++i) held += balances[i];
        return held * 1000 / positive;
    };
    return {{"accounts", balances.size()},
            {"sum", sum},
            {"positiveSum", positive},
            {"richest1PercentPermille", share(1)},
            {"richest10PercentPermille", share(10)},
            {"histogram", {{"labels", labels}, {"counts", counts}}}};
}

// What an undo reversed, by transaction and, when it is among those kept,
// its cause; the time a rollback went back to.
std::optional<std::string> reversed(const EconomyTally& tally, const OperatorAction& action) {
    if (action.cause == static_cast<uint8_t>(JournalCause::Rollback) && action.details.size() == 1) {
        return "to " + isoTime(action.details.front());
    }
    if (action.cause != static_cast<uint8_t>(JournalCause::Undo)) return std::nullopt;
    std::string text = action.details.size() == 1 ? "transaction " : "transactions ";
    for (const int64_t transaction : action.details) {
        if (transaction != action.details.front()) text += ", ";
        text += std::to_string(transaction);
        const auto found = std::find_if(tally.actions.begin(), tally.actions.end(), [&](const OperatorAction& other) {
            return other.transaction == static_cast<uint64_t>(transaction);
        });
        if (found != tally.actions.end()) text += " (" + causeText(found->cause) + ")";
    }
    return text;
}

// Every cause this build knows, for the page's colours and classes.
Json causesOf() {
    Json causes = Json::array();
    for (const CauseEntry& entry : causeTable) {
        causes.push_back(
            {{"number", static_cast<int>(entry.cause)}, {"name", entry.name}, {"class", causeClassName(entry.kind)}});
    }
    return causes;
}

// Newest first.
Json actionsOf(const EconomyTally& tally) {
    Json list = Json::array();
    for (auto at = tally.actions.rbegin(); at != tally.actions.rend(); ++at) {
        const OperatorAction& action = *at;
        list.push_back({{"transaction", action.transaction},
                        {"time", isoTime(action.time)},
                        {"cause", causeText(action.cause)},
                        {"by", shown(action.by)},
                        {"whom", shown(action.whom)},
                        {"accounts", action.accounts},
                        {"moved", action.moved}});
        if (const std::optional<std::string> what = reversed(tally, action)) list.back()["reverses"] = *what;
    }
    return {{"count", tally.actionCount}, {"shown", list}};
}

Json setAside() {
    std::vector<std::string> names;
    for (const char* prefix : {bank::fileName, bank::journalFileName}) {
        const std::string start = std::string(prefix) + ".damaged";
        platform::forEachFileMatching(start.c_str(), "", [&](const char* name) { names.emplace_back(name); });
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

nlohmann::ordered_json economyData(const TimeRange& range) {
    CurrentBank bank;
    readBank(bank);
    const Ledger& ledger = bank.ledger;
    EconomyTally tally(ledger, range);
    struct Taker final : TransactionVisitor {
        explicit Taker(EconomyTally& tally) : tally(tally) {}
        void transaction(std::span<const JournalRecord> records) override { tally.take(records); }
        EconomyTally& tally;
    } taker(tally);
    const WalkEnd read = walkTransactions(taker);
    tally.finish();
    Json damaged = Json::array();
    for (const ReadProblem& problem : read.problems) {
        if (problem.records > 0 && problem.file != bank::journalFileName) {
            damaged.push_back({{"file", problem.file.text()},
                               {"recordsRead", problem.records - problem.skipped},
                               {"recordsSkipped", problem.skipped}});
        }
    }

    // The folder's health in words: what is missing or damaged, first on the page.
    Json problems = Json::array();
    const bool missing = !pathExists(bank::fileName) && !pathExists(bank::journalFileName);
    if (missing) {
        problems.push_back(std::string(bank::fileName) + " is missing: the folder holds neither it nor its journal");
    } else if (!bank.problem.empty()) {
        problems.push_back(bank.problem);
    }
    for (const std::string& passed : bank.passedOver) problems.push_back(passed + "; the page shows the rest");
    for (const ReadProblem& problem : read.problems) {
        problems.push_back(problemText(problem) + "; the page shows the rest");
    }
    const Json aside = setAside();
    for (const Json& name : aside) {
        problems.push_back(name.get<std::string>() + " is a damaged file a bot set aside; the bank went on without it");
    }
    std::string state = "data";
    if (tally.changesRead == 0) {
        state = "no-history";
    } else if (tally.changesInRange == 0) {
        state = "empty-range";
    }

    // Every file of the history's name, a stray one too, so that the page
    // shows what lies in the folder.
    Json history = Json::array();
    platform::forEachFileMatching(KADREL_BANK_HISTORY ".", "", [&](const char* name) {
        history.push_back({{"file", name}, {"bytes", fileSize(name)}});
    });
    std::sort(history.begin(), history.end(), [](const Json& a, const Json& b) { return a["file"] < b["file"]; });

    // The accounts the plug-in finds by their names, not those an earlier
    // one of the same name shadows.
    std::vector<bool> reachable(ledger.size());
    for (uint32_t index = 0; index < ledger.size(); ++index) {
        reachable[index] = ledger.firstIndex(nameKeyOfField(ledger.at(index).name)) == index;
    }
    int64_t sum = 0;
    Json wealth = wealthOf(ledger, reachable, sum);
    Json data = {
        {"range", {{"from", range.fromText}, {"to", range.toText}}},
        {"causes", causesOf()},
        {"state", state},
        {"notes", problems},
        {"changes", {{"inRange", tally.changesInRange}, {"all", tally.changesRead}}},
        {"firstTime", tally.changesRead ? Json(isoTime(tally.firstTime)) : Json()},
        {"lastTime", tally.changesRead ? Json(isoTime(tally.lastTime)) : Json()},
        {"supply", supplyOf(tally, sum - tally.movedAfterRange)},
        {"flows", flowsOf(tally)},
        {"causeTotals", causeTotalsOf(tally)},
        {"items", itemsOf(tally)},
        {"players", playersOf(tally, ledger, reachable)},
        {"wealth", wealth},
        {"operators", actionsOf(tally)},
        {"health",
         {{"state", missing ? "missing" : problems.empty() ? "sound" : "damaged"},
          {"balancesKnown", !missing && bank.problem.empty()},
          {"accounts", ledger.size()},
          {"bankBytes", fileSize(bank::fileName)},
          {"journalBytes", fileSize(bank::journalFileName)},
          {"historyFiles", history},
          {"lastFiled",
           read.lastFiled ? Json{{"sequence", read.lastFiled}, {"time", isoTime(read.lastFiledTime)}} : Json()},
          {"unfiledChanges", read.lastRead - read.lastFiled},
          {"damagedHistory", damaged},
          {"setAside", aside}}}};
    return data;
}

}  // namespace kadrel::tools

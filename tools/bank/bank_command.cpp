// kadrel bank: looks into the bank file and changes it, reading and writing
// it exactly as the plug-in does. A damaged file is only ever changed by
// check --repair, which first keeps a copy of it. Quorlen.bank is read with
// its journal, and set and import change it under the journal's lock, as a
// bot of its own would, so that running bots lose nothing.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>

#include "accounts/bank_file.h"
#include "accounts/bank_journal.h"
#include "accounts/ledger.h"
#include "core/text.h"
#include "platform/platform.h"
#include "tools/bank/bank_history.h"
#include "tools/bank/bank_image.h"
#include "tools/bank/bank_text.h"
#include "tools/bank/bank_undo.h"
#include "tools/bank/shared_bank.h"
#include "tools/commands.h"
#include "tools/working_directory.h"

namespace kadrel::tools {

namespace {

struct BankOptions {
    std::string file = bank::fileName;
    std::string topCount = "10";
    std::string name;
    std::string amount;
    bool csv = false;
    bool json = false;
    std::string output;
    std::string input;
    bool repair = false;
};

// Only the plug-in's own bank has a journal beside it.
bool isSharedBank(const std::string& path) {
    return std::filesystem::path(path).filename() == bank::fileName;
}

// Only a regular file is read as the journal; nothing else at its path is
// opened in a way that could wait.
bool hasJournal(const std::string& path) {
    if (!isSharedBank(path)) return false;
    const std::string journal = (std::filesystem::path(path).parent_path() / bank::journalFileName).string();
    platform::FileReader probe;
    return probe.open(journal.c_str()) == platform::FileState::Regular;
}

// The bank as the bots see it: the file plus the journal's changes not yet
// folded into it, when there is a journal, read as they are without a lock.
// Until the bots' first save the journal alone holds the balances, so a
// missing file is then no error.
std::optional<BankImage> currentBank(const std::string& path) {
    if (!hasJournal(path)) return soundBank(path, false);
    const WorkingDirectory inDirectory(std::filesystem::path(path).parent_path());
    auto ledger = std::make_unique<Ledger>();
    if (!readSnapshot(*ledger, path)) return std::nullopt;
    return BankImage::fromLedger(std::move(ledger));
}

std::string accountCount(size_t count) { return std::to_string(count) + (count == 1 ? " account" : " accounts"); }

std::string paddedName(const std::string& name) { return paddedColumn(shownName(name), bank::nameSize); }

int list(const BankOptions& options) {
    const std::optional<BankImage> image = currentBank(options.file);
    if (!image) return 1;
    if (image->size() == 0) {
        std::cout << "no accounts\n";
        return 0;
    }
    std::cout << "record  name                     credits\n";
    for (size_t index = 0; index < image->size(); ++index) {
        const CreditAccount& record = image->record(index);
        std::cout << std::setw(6) << index << "  " << paddedName(nameOf(record)) << std::setw(13) << record.credits;
        if (const auto first = image->shadowedBy(index)) {
            std::cout << "  (never found: record " << *first << " has the same name)";
        }
        std::cout << '\n';
    }
    return 0;
}

// Read in decimal: "010" is ten, not octal eight, and "-1" is refused rather
// than wrapped into "every account".
std::optional<size_t> rankCount(const std::string& text) {
    constexpr size_t mostDigits = 9;
    if (text.empty() || text.size() > mostDigits) return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    const size_t count = std::stoul(text, nullptr, 10);
    if (count == 0) return std::nullopt;
    return count;
}

int top(const BankOptions& options) {
    const std::optional<size_t> count = rankCount(options.topCount);
    if (!count) {
        std::cerr << "kadrel bank: the count must be a whole number from 1 to 999999999\n";
        return 1;
    }
    const std::optional<BankImage> image = currentBank(options.file);
    if (!image) return 1;
    std::vector<size_t> reachable;
    for (size_t index = 0; index < image->size(); ++index) {
        if (!image->shadowedBy(index)) reachable.push_back(index);
    }
    std::stable_sort(reachable.begin(), reachable.end(), [&image](size_t a, size_t b) {
        return image->record(a).credits > image->record(b).credits;
    });
    if (reachable.size() > *count) reachable.resize(*count);
    if (reachable.empty()) std::cout << "no accounts\n";
    for (size_t rank = 0; rank < reachable.size(); ++rank) {
        const CreditAccount& record = image->record(reachable[rank]);
        std::cout << std::setw(4) << rank + 1 << "  " << paddedName(nameOf(record)) << std::setw(13)
                  << record.credits << '\n';
    }
    return 0;
}

int get(const BankOptions& options) {
    const std::optional<BankImage> image = currentBank(options.file);
    if (!image) return 1;
    const std::optional<size_t> index = image->find(options.name);
    if (!index) {
        std::cerr << "no account matches " << shownName(options.name) << '\n';
        return 1;
    }
    const CreditAccount& record = image->record(*index);
    std::cout << shownName(nameOf(record)) << " has " << record.credits << " credits\n";
    return 0;
}

// The plug-in's bank: the change goes through the journal under its lock, as
// a bot's would, so that every bot takes it at once and the history holds it;
// then the bank is saved.
int setThroughJournal(const BankOptions& options, int32_t amount) {
    const WorkingDirectory inDirectory(std::filesystem::path(options.file).parent_path());
    SharedBank shared;
    shared.bank.load();
    {
        const BankJournal::Hold hold(shared.bank);
        if (!shared.bank.ready()) {
            std::cerr << "kadrel bank: cannot read " << options.file << " with its journal; it was left as it was\n";
            return 1;
        }
        if (shared.refusesEconomyChange(options.file)) return 1;
        const CreditAccount* account = shared.ledger.find(options.name.c_str());
        const std::string said = account != nullptr ? shownName(nameOf(*account)) + ": " +
                                                          std::to_string(account->credits) + " -> " +
                                                          std::to_string(amount) + " credits\n"
                                                    : shownName(options.name) + ": new account with " +
                                                          std::to_string(amount) + " credits\n";
        const std::string name = account != nullptr ? nameOf(*account) : options.name;
        shared.move(name, static_cast<int64_t>(amount) - shared.credits(name), {JournalCause::ToolSet}, true);
        if (!shared.bank.commit()) {
            std::cerr << "kadrel bank: cannot write " << bank::journalFileName << "; " << options.file
                      << " was left as it was\n";
            return 1;
        }
        // Said only once it is on the disk.
        if (!shared.flushJournal()) {
            std::cerr << "kadrel bank: cannot bring " << bank::journalFileName
                      << " to the disk; the change is written but may be lost if the machine stops now\n";
            return 1;
        }
        std::cout << said;
    }
    shared.bank.checkpoint(1);
    return 0;
}

int set(const BankOptions& options) {
    if (const std::string refusal = nameRefusal(options.name); !refusal.empty()) {
        std::cerr << "kadrel bank: " << refusal << "; nothing was changed\n";
        return 1;
    }
    if (!isNumericInRange(options.amount.c_str())) {
        std::cerr << "kadrel bank: the amount must be a whole number from -2147483648 to 2147483647\n";
        return 1;
    }
    std::optional<BankImage> image = soundBank(options.file, true);
    if (!image) return 1;
    const int32_t amount = parseInteger(options.amount.c_str(), 10);
    if (isSharedBank(options.file)) return setThroughJournal(options, amount);
    const std::optional<size_t> index = image->find(options.name);
    if (index) {
        const CreditAccount& record = image->record(*index);
        std::cout << shownName(nameOf(record)) << ": " << record.credits << " -> " << amount << " credits\n";
        image->setCredits(*index, amount);
    } else {
        std::cout << shownName(options.name) << ": new account with " << amount << " credits\n";
        image->append(makeRecord(options.name, amount));
    }
    if (!image->write(options.file)) {
        std::cerr << "kadrel bank: cannot write " << options.file << "; it was left as it was\n";
        return 1;
    }
    return 0;
}

// The bank need not exist yet when the journal alone holds the balances, so
// the paths themselves are compared as well as the files.
bool isBankPath(const std::string& output, const std::string& path) {
    std::error_code error;
    if (std::filesystem::equivalent(output, path, error)) return true;
    const std::filesystem::path written = std::filesystem::weakly_canonical(output, error);
    if (error) return false;
    const std::filesystem::path bankPath = std::filesystem::weakly_canonical(path, error);
    return !error && written == bankPath;
}

int exportRecords(const BankOptions& options) {
    if (!options.output.empty() && isBankPath(options.output, options.file)) {
        std::cerr << "kadrel bank: the export would be written over the bank file " << options.file
                  << "; nothing was written\n";
        return 1;
    }
    const std::optional<BankImage> image = currentBank(options.file);
    if (!image) return 1;
    std::ofstream file;
    if (!options.output.empty()) {
        file.open(options.output, std::ios::binary);
        if (!file) {
            std::cerr << "kadrel bank: cannot write " << options.output << '\n';
            return 1;
        }
    }
    std::ostream& out = options.output.empty() ? std::cout : file;
    if (options.json) {
        writeJson(out, image->records());
    } else {
        writeCsv(out, image->records());
    }
    out.flush();
    return out ? 0 : 1;
}

// The plug-in's bank: first every balance the file changes goes through the
// journal, as one transaction that every bot takes at once and the history
// keeps; then the bank is written as the file lists it, in its order and with
// its bytes, without the accounts it leaves out.
int importThroughJournal(const BankOptions& options, const std::vector<CreditAccount>& records) {
    const WorkingDirectory inDirectory(std::filesystem::path(options.file).parent_path());
    SharedBank shared;
    bool journaled = false;
    bool refused = false;
    const bool written = shared.bank.rewrite([&](Ledger& ledger) {
        if ((refused = shared.refusesEconomyChange(options.file))) return false;
        Ledger imported;
        imported.appendLoaded(records.data(), records.size());
        // The accounts it leaves out go to nothing; a shadowed record holds
        // no balance that anybody can see.
        for (uint32_t index = 0; index < ledger.size(); ++index) {
            const CreditAccount& account = ledger.at(index);
            if (ledger.firstIndex(account.name) == index && imported.find(account.name) == nullptr) {
                shared.move(nameOf(account), -static_cast<int64_t>(account.credits), {JournalCause::ToolImport}, true);
            }
        }
        for (uint32_t index = 0; index < imported.size(); ++index) {
            const CreditAccount& account = imported.at(index);
            if (imported.firstIndex(account.name) != index) continue;
            const CreditAccount* now = ledger.find(account.name);
            // A new account is noted even at nothing, so that the history shows where it came from.
            if (now == nullptr || now->credits != account.credits) {
                shared.move(nameOf(account), static_cast<int64_t>(account.credits) - (now ? now->credits : 0),
                            {JournalCause::ToolImport}, true);
            }
        }
        if (!shared.bank.commit()) return false;
        journaled = true;
        ledger.clear();
        ledger.appendLoaded(records.data(), records.size());
        return true;
    });
    if (refused) return 1;
    if (!written && journaled) {
        std::cerr << "kadrel bank: the imported balances are in " << bank::journalFileName
                  << ", which every bot takes, but " << options.file
                  << " could not be written: the accounts the file leaves out stay at 0 credits, and the order is "
                     "the bank's\n";
        return 1;
    }
    if (!written) {
        std::cerr << "kadrel bank: cannot write " << options.file << "; it was left as it was\n";
        return 1;
    }
    std::cout << options.file << ": " << accountCount(records.size()) << " imported\n";
    return 0;
}

int importRecords(const BankOptions& options) {
    std::optional<BankImage> image = soundBank(options.file, true);
    if (!image) return 1;
    InputText input(options.input, "kadrel bank");
    if (!input.readable()) return 1;
    std::vector<CreditAccount> records;
    try {
        records = readCsv(input.text());
    } catch (const std::exception& error) {
        std::cerr << options.input << ": " << error.what() << "\nNothing was changed.\n";
        return 1;
    }
    if (isSharedBank(options.file)) return importThroughJournal(options, records);
    image->replaceAll(records);
    if (!image->write(options.file)) {
        std::cerr << "kadrel bank: cannot write " << options.file << "; it was left as it was\n";
        return 1;
    }
    std::cout << options.file << ": " << accountCount(records.size()) << " imported\n";
    return 0;
}

// Keeps the damaged bytes under a name not yet taken, the names the plug-in
// sets a damaged file aside under; "" when none can be written. The copy is
// written whole beside the file, then renamed to a free name, so that it is
// complete and on the disk before the damaged file is replaced.
std::string keepCopy(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string written = path + ".damaged-copy";
    if (!platform::replaceFile(written.c_str(), bytes.data(), bytes.size())) return "";
    const CharString copy = placeAtDamagedName(
        path.c_str(), [&](const char* name) { return platform::renameNoReplace(written.c_str(), name); });
    if (copy.empty()) std::remove(written.c_str());
    return copy.text();
}

int check(const BankOptions& options) {
    const std::optional<std::vector<uint8_t>> contents = regularFileBytes(options.file);
    if (!contents) {
        std::cerr << "kadrel bank: cannot read " << options.file << '\n';
        return 1;
    }
    const std::vector<uint8_t>& bytes = *contents;
    BankImage image = BankImage::fromBytes(bytes);
    for (size_t index = 0; index < image.size(); ++index) {
        if (const auto first = image.shadowedBy(index)) {
            std::cout << "record " << index << " (" << shownName(nameOf(image.record(index)))
                      << ") is never found: record " << *first << " (" << shownName(nameOf(image.record(*first)))
                      << ") has the same name\n";
        }
    }
    const std::vector<std::string> problems = image.damage();
    if (problems.empty()) {
        std::cout << options.file << ": " << accountCount(image.size()) << " in " << bytes.size()
                  << " bytes, sound\n";
        return 0;
    }
    if (!options.repair) {
        reportDamage(options.file, problems);
        return 1;
    }
    const std::string copy = keepCopy(options.file, bytes);
    if (copy.empty()) {
        std::cerr << "kadrel bank: cannot keep a copy of the damaged file; nothing was changed\n";
        return 1;
    }
    image.repair();
    if (!image.write(options.file)) {
        std::cerr << "kadrel bank: cannot write " << options.file << "; it was left as it was\n";
        return 1;
    }
    for (const std::string& problem : problems) std::cout << "repaired: " << problem << '\n';
    std::cout << options.file << ": " << accountCount(image.size()) << " kept; the damaged file is "
              << copy << '\n';
    return 0;
}

// A name is typed as tables show it (README: names that are not ASCII).
std::string typedNames(const std::string& text) { return typedName(text); }

// A folder stands for the bank in it, as report and lint take a folder.
std::string bankInFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error) ? (std::filesystem::path(path) / bank::fileName).string() : path;
}

// An option given as '' is a mistake, not an option left out.
const CLI::Validator given(
    [](const std::string& text) { return text.empty() ? std::string("must not be empty") : std::string(); }, "",
    "GIVEN");

// The choices of transactions that history and undo share.
void addTransactionOptions(CLI::App& command, HistoryQuery& query) {
    std::vector<std::string> causes;
    for (const CauseEntry& entry : causeTable) causes.emplace_back(entry.name);
    command.add_option("--cause", query.cause, "Only transactions with a change of this cause")
        ->check(CLI::IsMember(causes));
    command.add_option("--operator", query.operatorName, "Every !cgive, !ctake and !creset of this operator")
        ->check(given)
        ->transform(typedNames);
    addTimeRangeOptions(command, query.range, "From this day or time on (UTC), as 2026-12-08T09:30:00Z",
                        "Before this time, or up to the end of this day (UTC)");
}

}  // namespace

void addBankCommand(CLI::App& program, int& status) {
    auto options = std::make_shared<BankOptions>();
    CLI::App* bank = program.add_subcommand(
        "bank",
        "Looks into the bank file and changes it. Quorlen.bank is read with its journal, the changes that running "
        "bots made since their last save, and changed under the journal's lock, so it is safe while bots run. "
        "Names match as the plug-in matches them: same length, ASCII capitals folded.");
    bank->add_option("file", options->file, "The bank file, or a folder that holds " + std::string(bank::fileName))
        ->transform(bankInFolder)
        ->capture_default_str();
    bank->require_subcommand(0, 1);

    const auto run = [options, &status](int (*action)(const BankOptions&)) {
        return [options, &status, action] { status = action(*options); };
    };

    bank->add_subcommand("list", "Lists every record in file order")->callback(run(list));

    CLI::App* topCommand = bank->add_subcommand("top", "Lists the N richest accounts that the plug-in can find");
    topCommand->add_option("count", options->topCount, "How many, from 1")
        ->type_name("NUMBER")
        ->capture_default_str();
    topCommand->callback(run(top));

    CLI::App* getCommand = bank->add_subcommand("get", "Shows the balance the plug-in finds for a name");
    getCommand->add_option("name", options->name, "Account name")->required()->transform(typedNames);
    getCommand->callback(run(get));

    CLI::App* setCommand = bank->add_subcommand(
        "set", "Sets the balance of the account the plug-in finds for a name, or opens it at the end");
    setCommand->add_option("name", options->name, "Account name, at most " + std::to_string(bank::longestName) + " bytes")
        ->required()
        ->transform(typedNames);
    setCommand->add_option("amount", options->amount, "New balance, from -2147483648 to 2147483647")->required();
    setCommand->callback(run(set));

    CLI::App* exportCommand = bank->add_subcommand(
        "export", "Writes every record as CSV (name,credits,tail) or JSON; import reads the CSV back byte for byte");
    CLI::Option* csvFlag = exportCommand->add_flag("--csv", options->csv, "CSV, the default");
    exportCommand->add_flag("--json", options->json, "JSON")->excludes(csvFlag);
    exportCommand->add_option("-o,--output", options->output, "File to write instead of the standard output");
    exportCommand->callback(run(exportRecords));

    CLI::App* importCommand =
        bank->add_subcommand("import", "Replaces every record with those of a CSV file as export writes it");
    importCommand->add_option("csv", options->input, "CSV file ('-' reads the standard input)")->required();
    importCommand->callback(run(importRecords));

    auto query = std::make_shared<HistoryQuery>();
    CLI::App* historyCommand = bank->add_subcommand(
        "history",
        "Shows every change the history and the journal hold, oldest first, a transaction at a time: when, why, "
        "who, by how much and the balance after. Safe while bots run");
    historyCommand->add_option("name", query->name, "A player: every transaction with a change of theirs")
        ->check(given)
        ->transform(typedNames);
    addTransactionOptions(*historyCommand, *query);
    historyCommand->add_option("--last", query->last, "Only the last N transactions selected")
        ->type_name("N")
        ->check(given);
    CLI::Option* historyCsv = historyCommand->add_flag("--csv", query->csv, "CSV instead of a table");
    historyCommand->add_flag("--json", query->json, "JSON instead of a table")->excludes(historyCsv);
    CLI::Option* prune = historyCommand->add_option(
        "--prune-before", query->pruneBefore,
        "Instead: shows the files of the months before this one (as 2026-12), but the newest, that would go");
    prune->check(given);
    historyCommand->add_flag("--apply", query->apply, "With --prune-before: remove them")->needs(prune);
    historyCommand->callback([options, query, &status] { status = showHistory(options->file, *query); });

    auto undo = std::make_shared<HistoryQuery>();
    auto apply = std::make_shared<bool>(false);
    CLI::App* undoCommand = bank->add_subcommand(
        "undo",
        "Moves back exactly what the chosen transactions moved: first lists them and shows every balance that "
        "changes, and those that go below zero because the credits were spent; changes them with --apply, as "
        "transactions of their own. A transaction that an undo reversed already is refused until that undo is "
        "undone");
    undoCommand->add_option("transaction", undo->transaction, "A transaction's number, as history shows it")
        ->check(given);
    undoCommand->add_option("--player", undo->name, "Every transaction with a change of this player's")
        ->check(given)
        ->transform(typedNames);
    addTransactionOptions(*undoCommand, *undo);
    undoCommand->add_flag("--apply", *apply, "Make the changes");
    undoCommand->callback([options, undo, apply, &status] { status = undoTransactions(options->file, *undo, *apply); });

    auto rollbackPoint = std::make_shared<std::string>();
    CLI::App* rollbackCommand = bank->add_subcommand(
        "rollback",
        "Brings every balance back to what it was at a point of the history, in the order the changes were made: "
        "first shows the plan; changes them with --apply, as a transaction of its own");
    rollbackCommand
        ->add_option("--to", *rollbackPoint,
                     "A time, as 2026-12-08T09:30:00Z (UTC): the balances before the first change at or after it; "
                     "or a transaction's number: the balances just after it")
        ->type_name("TIME|N")
        ->required()
        ->check(given);
    rollbackCommand->add_flag("--apply", *apply, "Make the changes");
    rollbackCommand->callback(
        [options, rollbackPoint, apply, &status] { status = rollBack(options->file, *rollbackPoint, *apply); });

    CLI::App* checkCommand =
        bank->add_subcommand("check", "Tells whether the plug-in can load the file, and what it would never find");
    checkCommand->add_flag("--repair", options->repair,
                           "Keep the whole records of a damaged file and cut names to " + std::to_string(bank::longestName) + " bytes; the damaged "
                           "file is kept beside it as FILE.damaged (or FILE.damaged.1, ...)");
    checkCommand->callback(run(check));
}

}  // namespace kadrel::tools

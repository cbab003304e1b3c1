#include "tools/bank/shared_bank.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>

#include "tools/bank/bank_image.h"

namespace kadrel::tools {

bool readSnapshot(Ledger& ledger, const std::string& shownPath) {
    const BankSnapshot snapshot = readBankSnapshot(ledger);
    for (const ReadProblem& problem : snapshot.problems) {
        if (problem.kind == ReadProblem::Kind::DamagedBank) {
            if (const std::optional<BankImage> image = BankImage::read(shownPath)) {
                reportDamage(shownPath, image->damage());
            }
        } else if (problem.kind == ReadProblem::Kind::Unreadable && problem.file == bank::fileName) {
            std::cerr << "kadrel bank: cannot read " << shownPath << '\n';
        } else {
            std::cerr << "kadrel bank: " << problemText(problem) << '\n';
        }
    }
    return snapshot.balancesKnown();
}

bool SharedBank::load(bool forChange) {
    if (!forChange) return readSnapshot(ledger, bank::fileName);
    if (!soundBank(bank::fileName, true)) return false;
    bank.load();
    return true;
}

bool SharedBank::flushJournal() {
    platform::SharedFile journal;
    return journal.open(bank::journalFileName) == platform::SharedFile::Opened::Ready && journal.flush();
}

bool SharedBank::refusesEconomyChange(const std::string& bankFile) const {
    if (!bank.economy().shared()) return false;
    const std::string folder = std::filesystem::path(bankFile).parent_path().string();
    std::cerr << "kadrel bank: " << (folder.empty() ? "." : folder)
              << " shares its balances with other machines through kadrel sync; leave the economy first\n";
    return true;
}

int32_t SharedBank::credits(const std::string& name) const {
    const CreditAccount* account = ledger.find(name.c_str());
    return account != nullptr ? account->credits : 0;
}

// Moves of more than a 32-bit amount go in two records; a move of nothing
// still opens the account, as an award of 0 does.
void SharedBank::move(const std::string& name, int64_t by, const ChangeCause& why, bool journaled) {
    const int64_t most = std::numeric_limits<int32_t>::max();
    int64_t left = by;
    do {
        const auto amount = static_cast<int32_t>(std::clamp(left, -most, most));
        const int32_t before = credits(name);
        bank.reserve(1);
        ledger.award(amount, name.c_str());
        if (journaled) {
            bank.note(makeJournalRecord(JournalKind::Add, amount, name.c_str(), why, before, credits(name)));
        }
        left -= amount;
    } while (left != 0);
}

}  // namespace kadrel::tools

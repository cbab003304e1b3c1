#include "tools/sync/leave.h"

#include <ctime>

#include "accounts/bank_reader.h"
#include "accounts/shared_economy.h"
#include "tools/bank/shared_bank.h"
#include "tools/sync/ship_up.h"

namespace kadrel::tools::sync {

bool journalSaysLeft() {
    ReadProblems problems;
    return sharedEconomyOf(readJournalSnapshot(problems).records).left();
}

struct FolderLeaving::Bank {
    SharedBank shared;
};

FolderLeaving::FolderLeaving() = default;

FolderLeaving::~FolderLeaving() {
    if (bank) bank->shared.bank.close();
}

bool FolderLeaving::open(std::string& failure) {
    bank = std::make_unique<Bank>();
    if (bank->shared.load(true)) return true;
    bank.reset();
    failure = "cannot read Quorlen.bank";
    return false;
}

bool FolderLeaving::stopSpending(std::string& failure) {
    BankJournal& journal = bank->shared.bank;
    {
        const BankJournal::Hold hold(journal);
        if (!journal.ready()) return failure = "cannot lock or read the folder's journal", false;
        // Every end above 0, run out or not: a bot's clock may lag the writer's.
        const std::vector<JournalRecord> standing = journal.economy().standing(0);
        const int64_t now = std::time(nullptr);
        size_t stopped = 0;
        for (const JournalRecord& record : standing) {
            if (record.kind != static_cast<uint8_t>(JournalKind::Lease)) continue;
            journal.reserve(1);
            journal.note(makeLeaseRecord(record.name, 0, now));
            ++stopped;
        }
        if (stopped > 0 && !journal.commit()) return failure = "cannot append to the folder's journal", false;
    }
    journal.makeDurable();
    return true;
}

FolderLeaving::Mark FolderLeaving::markLeft(const long long& shippedThrough,
                                            const std::function<bool(std::string&)>& shipHeld, std::string& failure) {
    BankJournal& journal = bank->shared.bank;
    {
        const BankJournal::Hold hold(journal);
        if (!journal.ready()) return failure = "cannot lock or read the folder's journal", Mark::Failed;
        if (journal.economy().left()) return Mark::Left;
        // No bot appends while the lock is held: what the read finds is all.
        if (pendingTransactions(static_cast<uint64_t>(shippedThrough), 0).records > 0) {
            if (!shipHeld) return Mark::Behind;
            if (!shipHeld(failure)) return Mark::Failed;
        }
        journal.reserve(1);
        journal.note(makeSharedRecord(0, std::time(nullptr)));
        if (!journal.commit()) return failure = "cannot append to the folder's journal", Mark::Failed;
    }
    journal.makeDurable();
    return Mark::Left;
}

}  // namespace kadrel::tools::sync

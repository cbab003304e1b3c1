// Leaving an economy, on the folder's side: its bots stop taking the credits
// of the players whose leases the folder holds, and once every change of the
// folder is in the economy, a Shared record of origin 0 makes its balances
// its own again. Both are written under the journal's lock, as a bot writes.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace kadrel::tools::sync {

// The journal's newest Shared record says that the folder left. The read
// side's: no lock, nothing written.
bool journalSaysLeft();

class FolderLeaving {
public:
    FolderLeaving();
    ~FolderLeaving();
    FolderLeaving(const FolderLeaving&) = delete;
    FolderLeaving& operator=(const FolderLeaving&) = delete;

    // Opens the folder's bank as a bot does; false, saying why.
    bool open(std::string& failure);

    // A Lease record of end 0 for every lease the journal holds: the bots
    // stop taking those players' credits at once. False, saying why.
    bool stopSpending(std::string& failure);

    // Writes the Shared record of origin 0 where the folder holds no change
    // of its own past `shippedThrough`: every change before the record is
    // then in the economy, and none after it belongs there. Behind where a
    // bot made one since it was shipped, unless `shipHeld` is given: it then
    // ships them (moving `shippedThrough`) while the lock is held.
    enum class Mark { Left, Behind, Failed };
    Mark markLeft(const long long& shippedThrough, const std::function<bool(std::string&)>& shipHeld,
                  std::string& failure);

private:
    struct Bank;
    std::unique_ptr<Bank> bank;
};

}  // namespace kadrel::tools::sync

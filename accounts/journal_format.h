// The bytes of the bank's journal: a fixed header naming the bank it applies
// to, then fixed-size records of balance changes, each with its own checksum,
// grouped into transactions that count all or not at all. What each field
// means to a reader, and what a crash leaves, is told once in
// accounts/README.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "accounts/credit_account.h"

namespace kadrel {

// The magic's last character is the layout's version. Version 1 (64-byte
// header, 32-byte records without causes) is only ever read, to fold a
// journal an earlier build left.
constexpr const char journalMagic[8] = {'K', 'D', 'R', 'L', 'J', 'R', 'N', '2'};
constexpr const char oldJournalMagic[8] = {'K', 'D', 'R', 'L', 'J', 'R', 'N', '1'};

struct JournalHeader {
    char magic[8];
    uint64_t generation;
    uint64_t bankLength;
    uint64_t bankHash;
    uint64_t pendingLength;
    uint64_t pendingHash;       // 0 when no checkpoint is under way
    uint64_t foldedGeneration;  // the generation whose records the bank now holds
    uint64_t foldedLength;      // how much of that generation's journal it holds
    // Version 2 on: the sequence number of the journal's first record.
    uint64_t firstSequence;
    uint64_t zero[7];
};

static_assert(sizeof(JournalHeader) == 128);

enum class JournalKind : uint8_t {
    Add = 1,
    Subtract = 2,
    Reset = 3,    // every balance to nothing
    Cleared = 4,  // the balance a reset in the same transaction takes; changes nothing itself
    // The kinds of a folder that shares its balances with other machines
    // through kadrel sync. None of them changes a balance.
    Lease = 5,    // name: a player; detail: when this folder's right to take the player's credits ends
    Shared = 6,   // detail: the folder's origin number in the economy; 0: it has left
    Arrived = 7,  // ends a transaction brought down from another folder: amount its origin, detail its position
    Wanted = 8,   // name: a player this folder wants the right to take credits from
};

constexpr JournalKind lastJournalKind = JournalKind::Wanted;

// Why a balance changed; `party` and `detail` of the record say more.
enum class JournalCause : uint8_t {
    Unknown = 0,  // a record of version 1
    Kill = 1,
    Death = 2,
    TeamKill = 3,
    TeamDeath = 4,
    Prize = 5,        // detail: the prize type
    FlagVictory = 6,  // detail: the winning team
    SoccerGoal = 7,   // detail: the scoring team
    DonationGiven = 8,
    DonationReceived = 9,
    Purchase = 10,  // detail: the item's number; party: its name
    OperatorGive = 11,
    OperatorTake = 12,
    OperatorReset = 13,
    Undo = 14,        // detail: the transaction it reverses
    Rollback = 15,    // detail: the time it brings the balances back to
    ToolSet = 16,     // the bank tool's set
    ToolImport = 17,  // the bank tool's import
};

constexpr JournalCause lastJournalCause = JournalCause::ToolImport;

// Who makes a change of a cause: the game's events and the players' own
// commands, an operator's command in the arena, or the bank tool.
enum class CauseClass : uint8_t { Game, Operator, BankTool };

// Every cause this build knows: its number, its name (as the bank tool's
// --cause and the report's page show it) and its class.
struct CauseEntry {
    JournalCause cause;
    const char* name;
    CauseClass kind;
};

constexpr CauseEntry causeTable[] = {
    {JournalCause::Unknown, "unknown", CauseClass::Game},
    {JournalCause::Kill, "kill", CauseClass::Game},
    {JournalCause::Death, "death", CauseClass::Game},
    {JournalCause::TeamKill, "team-kill", CauseClass::Game},
    {JournalCause::TeamDeath, "team-death", CauseClass::Game},
    {JournalCause::Prize, "prize", CauseClass::Game},
    {JournalCause::FlagVictory, "flag-victory", CauseClass::Game},
    {JournalCause::SoccerGoal, "soccer-goal", CauseClass::Game},
    {JournalCause::DonationGiven, "donation-given", CauseClass::Game},
    {JournalCause::DonationReceived, "donation-received", CauseClass::Game},
    {JournalCause::Purchase, "purchase", CauseClass::Game},
    {JournalCause::OperatorGive, "cgive", CauseClass::Operator},
    {JournalCause::OperatorTake, "ctake", CauseClass::Operator},
    {JournalCause::OperatorReset, "creset", CauseClass::Operator},
    {JournalCause::Undo, "undo", CauseClass::BankTool},
    {JournalCause::Rollback, "rollback", CauseClass::BankTool},
    {JournalCause::ToolSet, "set", CauseClass::BankTool},
    {JournalCause::ToolImport, "import", CauseClass::BankTool},
};

// The table's entry of a cause number; nullptr for a cause a newer build
// wrote, which is shown as "cause N".
constexpr const CauseEntry* causeEntry(uint8_t cause) {
    return cause < std::size(causeTable) ? &causeTable[cause] : nullptr;
}

// "game", "operator" or "bank tool".
const char* causeClassName(CauseClass kind);

// The last record of a transaction carries this flag: an append cut short
// leaves a transaction without it, which counts for nothing.
constexpr uint8_t endsTransaction = 1;

struct JournalRecord {
    uint8_t kind;
    uint8_t cause;
    uint8_t flags;
    uint8_t zero[5];
    uint64_t sequence;  // numbers the bank's changes; set when appended
    int64_t time;       // seconds since 1970, UTC
    int64_t detail;
    char name[20];
    char party[20];  // the other side: donor, recipient, victim, killer, operator, item
    int32_t amount;
    int32_t before;  // the balance before and after, as the bot that made it saw them
    int32_t after;
    uint32_t check;
};

static_assert(sizeof(JournalRecord) == 88);

// Where the records start and how long each is, by the header's version.
struct JournalLayout {
    uint64_t headerSize;
    uint64_t recordSize;

    bool isCurrent() const { return recordSize == sizeof(JournalRecord); }
    bool operator==(const JournalLayout&) const = default;
};

constexpr JournalLayout currentLayout{sizeof(JournalHeader), sizeof(JournalRecord)};
constexpr JournalLayout oldLayout{64, 32};

// The version-1 record, as an earlier build wrote it.
struct OldJournalRecord {
    uint8_t kind;
    uint8_t zero[3];
    char name[20];
    int32_t amount;
    uint32_t check;
};

static_assert(sizeof(OldJournalRecord) == 32);

// What a change was for, beside its kind and amount.
struct ChangeCause {
    JournalCause cause = JournalCause::Unknown;
    const char* party = "";
    int64_t detail = 0;
};

// A record of one change, its transaction still open; names are stored as an
// account would store them: cut to 19 characters, the rest of the field zero.
JournalRecord makeJournalRecord(JournalKind kind, int32_t amount, const char* name, const ChangeCause& why,
                                int32_t before, int32_t after);

// The folder's standing (Lease, Shared) and its wishes (Wanted) take no
// number and are never filed into the history: records of these kinds carry
// sequence 0, and the numbering goes on past them as if they were not there.
bool takesNumber(const JournalRecord& record);
// Whether the record is about a balance (add, subtract, reset, cleared),
// rather than about the folder's standing in a shared economy.
bool concernsBalance(const JournalRecord& record);

// Numbers the record as it is appended; one that takes no number keeps 0.
void sealJournalRecord(JournalRecord& record, uint64_t sequence);

// Records of a shared folder, each of them but Arrived a transaction of its
// own; `time` is when it is written. Arrived ends the transaction it is
// noted last in: another folder's change, made at `time`, at `position` of
// the economy.
JournalRecord makeLeaseRecord(const char* name, int64_t ends, int64_t time);
JournalRecord makeSharedRecord(int64_t origin, int64_t time);
JournalRecord makeArrivedRecord(int64_t origin, int64_t position, int64_t time);
JournalRecord makeWantedRecord(const char* name, int64_t time);

// True when the record's checksum, padding, flags and name ends are sound,
// whatever its kind and cause: a cause this build does not know is applied
// all the same, and a kind it cannot apply was written by a newer build.
bool isSoundRecord(const JournalRecord& record);
bool canApply(const JournalRecord& record);
// How many of the records, from the first, are sound.
size_t soundRecords(const JournalRecord* records, size_t count);

// A version-1 record as a record of its own transaction, of unknown cause;
// false when it is not sound.
bool readOldRecord(const void* bytes, JournalRecord& record);

// The layout of a header read from a journal of `size` bytes; false for a
// magic of neither version or a journal too short for its header.
bool soundLayout(const JournalHeader& header, uint64_t size, JournalLayout& layout);
// Whether the magic is the journal's, of a version after this build's: a
// newer build shares the folder.
bool isNewerJournal(const JournalHeader& header);

// A 64-bit hash of the bank's bytes, fed in pieces whose lengths are
// multiples of 8 (the records are 24 bytes long). Four independent lanes keep
// it near the speed of reading the bytes. Never 0, which marks "no bank".
class BankHasher {
public:
    void add(const void* bytes, size_t size);
    uint64_t result() const;

private:
    uint64_t lanes[4] = {0x243F6A8885A308D3ull, 0x13198A2E03707344ull, 0xA4093822299F31D0ull, 0x082EFA98EC4E6C89ull};
    uint64_t words = 0;
};

}  // namespace kadrel

#include "accounts/journal_writer.h"

#include "accounts/bank_file.h"
#include "accounts/bank_format.h"
#include "accounts/ledger.h"

namespace kadrel {

namespace {

// A noted streak that grew past this many records gives its memory back once
// it is in a bank.
constexpr size_t keptCapacity = 128;

}  // namespace

void applyJournalRecord(Ledger& ledger, const JournalRecord& record) {
    switch (static_cast<JournalKind>(record.kind)) {
        case JournalKind::Add:
            ledger.award(record.amount, record.name);
            break;
        case JournalKind::Subtract:
            ledger.deduct(record.amount, record.name);
            break;
        case JournalKind::Reset:
            ledger.clear();
            break;
        case JournalKind::Cleared:
        case JournalKind::Lease:
        case JournalKind::Shared:
        case JournalKind::Arrived:
        case JournalKind::Wanted:
            break;
    }
}

void JournalAppender::reserve(size_t records) {
    const size_t wanted = unwritten.size() + records;
    if (wanted > unwritten.capacity()) {
        unwritten.reserve(wanted > 2 * unwritten.capacity() ? wanted : 2 * unwritten.capacity());
    }
}

void JournalAppender::applyTo(Ledger& ledger) const {
    for (const JournalRecord& record : unwritten) applyJournalRecord(ledger, record);
}

void JournalAppender::endTransaction(size_t mark) noexcept {
    if (unwritten.size() > mark) unwritten.back().flags |= endsTransaction;
}

uint64_t JournalPosition::sequenceAt(uint64_t end) const {
    return firstSequence + (end - layout.headerSize) / layout.recordSize - unnumbered;
}

bool JournalAppender::append(platform::SharedFile& journal, uint64_t& end, JournalPosition& position,
                             SharedEconomy* standing) {
    if (unwritten.empty()) return true;
    // A journal of an earlier layout takes no records; it is folded first.
    if (!position.layout.isCurrent()) return false;
    uint64_t sequence = position.sequenceAt(end);
    uint64_t unnumbered = 0;
    for (JournalRecord& record : unwritten) {
        sealJournalRecord(record, sequence);
        if (takesNumber(record)) {
            ++sequence;
        } else {
            ++unnumbered;
        }
    }
    const size_t bytes = unwritten.size() * sizeof(JournalRecord);
    if (!journal.writeAt(end, unwritten.data(), bytes)) {
        journal.truncate(end);
        return false;
    }
    end += bytes;
    position.unnumbered += unnumbered;
    if (standing != nullptr) {
        for (const JournalRecord& record : unwritten) standing->take(record);
    }
    unwritten.clear();
    durable = false;
    return true;
}

bool JournalAppender::makeDurable(platform::SharedFile& journal) {
    if (durable || !journal.isOpen()) return true;
    if (!journal.flush()) return false;
    durable = true;
    return true;
}

void JournalAppender::forget() {
    if (unwritten.capacity() > keptCapacity) {
        std::vector<JournalRecord>().swap(unwritten);
    } else {
        unwritten.clear();
    }
}

bool writeJournalHeader(platform::SharedFile& journal, const JournalHeader& header, const JournalLayout& layout) {
    return journal.writeAt(0, &header, static_cast<size_t>(layout.headerSize));
}

bool withdrawAnnouncement(platform::SharedFile& journal, JournalHeader& header, const JournalLayout& layout) {
    header.pendingLength = 0;
    header.pendingHash = 0;
    return writeJournalHeader(journal, header, layout);
}

bool startJournalAfresh(platform::SharedFile& journal, const JournalHeader& header, const JournalLayout& old,
                        std::span<const JournalRecord> carried) {
    uint64_t size = 0;
    const uint64_t kept = journal.size(size) && size >= old.headerSize ? old.headerSize : 0;
    if (!journal.truncate(kept) || !journal.flush()) return false;
    if (!carried.empty() &&
        (!journal.writeAt(currentLayout.headerSize, carried.data(), carried.size_bytes()) || !journal.flush())) {
        return false;
    }
    return writeJournalHeader(journal, header, currentLayout) && journal.flush();
}

namespace {

std::vector<unsigned char> journalBytes(const platform::SharedFile& journal, uint64_t size) {
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    if (!journal.readAt(0, bytes.data(), bytes.size())) bytes.clear();
    return bytes;
}

}  // namespace

bool copyJournalTo(const platform::SharedFile& journal, const char* path) {
    uint64_t size = 0;
    if (!journal.size(size) || !pathIsFree(path)) return false;
    const std::vector<unsigned char> bytes = journalBytes(journal, size);
    return bytes.size() == size && platform::replaceFile(path, bytes.data(), bytes.size());
}

void copyJournalAside(const platform::SharedFile& journal, uint64_t size, BankReporter& reporter) {
    const std::vector<unsigned char> bytes = journalBytes(journal, size);
    const CharString target = placeAtDamagedName(bank::journalFileName, [&](const char* name) {
        return pathIsFree(name) && platform::replaceFile(name, bytes.data(), bytes.size());
    });
    if (!target.empty()) {
        CharString message(bank::journalFileName);
        message.append(" is damaged; it was copied to ");
        message.append(target);
        reporter.report(message.text());
        return;
    }
    reporter.report(KADREL_BANK_JOURNAL " is damaged and could not be copied aside");
}

}  // namespace kadrel

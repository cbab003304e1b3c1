// How the bank tells the operator what went wrong: through a reporter that
// the bot (or the bank tool) supplies, one status line at the first failure
// of a streak rather than one per event.
#pragma once

#include <cstdint>

namespace kadrel {

class BankReporter {
public:
    virtual void report(const char* message) = 0;

protected:
    ~BankReporter() = default;
};

// The kinds of failure that are reported once per streak.
enum class Streak : uint8_t { Journal, Lock, Write, Bank, Missing, Save, Skip, Newer, History, DamagedHistory };

class Streaks {
public:
    // Sends the message unless this streak is already running.
    void fail(BankReporter& reporter, Streak streak, const char* message) {
        if ((failing & bit(streak)) == 0) reporter.report(message);
        failing |= bit(streak);
    }
    void end(Streak streak) { failing &= static_cast<uint16_t>(~bit(streak)); }

private:
    static uint16_t bit(Streak streak) { return static_cast<uint16_t>(1u << static_cast<unsigned>(streak)); }

    uint16_t failing = 0;
};

}  // namespace kadrel

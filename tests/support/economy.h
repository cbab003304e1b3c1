// Machines of one economy, for its fault stories: each a bank folder with a
// host (the stand-in arena, one bot) and its own kadrel sync, connected to
// the test's PostgreSQL through a relay that the test cuts and heals; and the
// checks that must hold after every story. Every program and server stops
// when the economy goes, whatever the test's end. Linux only.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "child_process.h"
#include "postgres_server.h"
#include "scratch_dir.h"
#include "tcp_relay.h"

namespace kadrel::testing {

// One bot in its own process, driven through the arena's steps. What it
// answers players is what the economy has promised them.
class ArenaHost {
public:
    ArenaHost(const std::filesystem::path& folder, const std::vector<std::string>& players);

    // The steps run while the test goes on.
    void send(const std::string& steps);
    // Waits until every step sent has run; false when the host is gone or stalls.
    bool settle();
    // Killed where it is; what it said before it died is heard.
    void kill();
    // Every line it has said to a player.
    const std::vector<std::string>& replies() const { return heard; }
    // Waits until every step sent has run; what players were told since the last look.
    std::vector<std::string> answers();

private:
    bool hear(std::chrono::milliseconds patience);

    ChildProcess process;
    std::vector<std::string> heard;
    int asked = 0;
    int answered = 0;
    size_t looked = 0;
};

class Machine {
public:
    Machine(const PostgresServer& server, int number, const std::vector<std::string>& players, int32_t credits);

    // Joins the economy through the relay; false, with the reason on the test, when it fails.
    bool join();
    void start();
    void startSync();
    // The host and the sync program killed together, as a machine loses
    // power; false when the sync program had stopped before.
    bool crash();
    std::string conninfo() const;
    // A player comes into its arena, and the bot is shown the arrival, for
    // which it wants the player's lease; or leaves it.
    void enter(const std::string& player);
    void leave(const std::string& player);
    // The end of the player's newest lease in its journal, 0 for none; and
    // whether its bots may take the player's credits now by it.
    int64_t leaseEnd(const std::string& player) const;
    bool holdsLease(const std::string& player) const;
    // Waits until they may; false, saying so on the test, when they may not within `patience`.
    bool awaitLease(const std::string& player, std::chrono::seconds patience);

    const std::vector<std::string> players;
    // The players in its arena: its own at first, as moves leave them.
    std::vector<std::string> present;
    ScratchFolder folder;
    TcpRelay relay;
    std::optional<ArenaHost> host;
    std::optional<ChildProcess> sync;
    // What its host said before each crash.
    std::vector<std::string> earlierReplies;

private:
    int arrivals = 0;
};

class Economy {
public:
    // Skips the test where no PostgreSQL server is installed.
    Economy(int machines, const std::vector<std::string>& namesPerMachine, int32_t credits);

    // Joins every machine and starts its programs, and waits until each
    // folder holds the leases of its players; false when either fails.
    bool begin();
    // The player leaves `from` once its host has run all it was sent, and
    // comes into `to`, without waiting for the lease there.
    void move(const std::string& player, Machine& from, Machine& to);
    // Sends each host `count` random steps of the players present: kills, donations
    // and purchases, and now and then a save. The steps sent, a text a machine.
    std::vector<std::string> play(std::mt19937& random, int count);
    // Every host has run what it was sent and every sync program has shipped
    // every change of its folder; false when that does not come within `patience`.
    bool converge(std::chrono::seconds patience);
    // What must hold after every story: each folder's changes in the economy
    // exactly once and as the folder has them, every answer a host gave in its
    // folder's history, the economy's balances as its openings and changes
    // say, none below zero, and each folder's balances as the economy's.
    void check();

    PostgresServer server;
    std::vector<std::unique_ptr<Machine>> machines;
};

}  // namespace kadrel::testing

#include "tools/arena/script.h"

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "accounts/reward_table.h"
#include "commands/access_level.h"
#include "host/bot_instance.h"

namespace kadrel::tools {

namespace {

using Words = std::vector<std::string>;

// Blank-separated words; a word in double quotes may hold blanks.
Words splitWords(std::string_view line) {
    Words words;
    size_t at = 0;
    while (true) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        if (at == line.size()) return words;
        if (line[at] == '"') {
            const size_t close = line.find('"', at + 1);
            if (close == std::string_view::npos) throw ScriptError("a quote is not closed");
            words.emplace_back(line.substr(at + 1, close - at - 1));
            at = close + 1;
        } else {
            const size_t end = line.find_first_of(" \t", at);
            words.emplace_back(line.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
            at = end == std::string_view::npos ? line.size() : end;
        }
    }
}

// A whole number in decimal within [lowest, highest]; `what` names it in the
// complaint.
int64_t number(const std::string& word, const char* what, int64_t lowest, int64_t highest) {
    size_t at = word.size() > 1 && word[0] == '-' ? 1 : 0;
    const bool digits = at < word.size() && word.size() - at <= 12 &&
                        word.find_first_not_of("0123456789", at) == std::string::npos;
    const int64_t value = digits ? std::stoll(word) : 0;
    if (!digits || value < lowest || value > highest) {
        throw ScriptError(std::string(what) + " must be a whole number from " + std::to_string(lowest) + " to " +
                          std::to_string(highest) + ", not '" + word + "'");
    }
    return value;
}

int32_t int32Number(const std::string& word, const char* what) {
    return static_cast<int32_t>(
        number(word, what, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

uint16_t uint16Number(const std::string& word, const char* what) {
    return static_cast<uint16_t>(number(word, what, 0, 65535));
}

// A team number as an event carries it: 32 bits, written signed or unsigned.
uint32_t teamNumber(const std::string& word) {
    return static_cast<uint32_t>(number(word, "the team", std::numeric_limits<int32_t>::min(),
                                        std::numeric_limits<uint32_t>::max()));
}

struct Verb {
    const char* word;
    const char* usage;
    std::string summary;
    size_t fewestWords;  // the verb included
    size_t mostWords;
    Action (*parse)(const Words& words);
};

// Changes one thing about a named player and rebuilds the host's record.
template <class Change>
Action changePlayer(std::string name, Change change) {
    return [name, change](Arena& arena) {
        ArenaPlayer& player = arena.player(name);
        change(player);
        player.updateRecord();
    };
}

Action parseJoin(const Words& words) {
    struct Options {
        uint32_t level = 0;
        uint16_t team = 0;
        uint8_t ship = 0;
        std::string squad;
        int32_t ident = -1;
        int32_t x = 8192;
        int32_t y = 8192;
        uint16_t flags = 0;
        int32_t score1 = 0;
        int32_t score2 = 0;
    } options;
    for (size_t at = 2; at < words.size(); at += 2) {
        const std::string& key = words[at];
        const size_t valuesNeeded = key == "at" || key == "score" ? 2 : 1;
        if (at + valuesNeeded >= words.size()) throw ScriptError("'" + key + "' needs a value");
        const std::string& value = words[at + 1];
        if (key == "team") {
            options.team = uint16Number(value, "the team");
        } else if (key == "level") {
            options.level = static_cast<uint32_t>(number(value, "the access level", 0, 4294967295));
        } else if (key == "ship") {
            options.ship = static_cast<uint8_t>(number(value, "the ship", 0, 255));
        } else if (key == "squad") {
            if (value.size() >= stand_in::PlayerRecord::squadSize) throw ScriptError("the squad name is too long");
            options.squad = value;
        } else if (key == "ident") {
            options.ident = uint16Number(value, "the ident");
        } else if (key == "carrying") {
            options.flags = uint16Number(value, "the number of flags");
        } else if (key == "at" || key == "score") {
            const int32_t first = int32Number(value, key == "at" ? "x" : "the first score");
            const int32_t second = int32Number(words[at + 2], key == "at" ? "y" : "the second score");
            (key == "at" ? options.x : options.score1) = first;
            (key == "at" ? options.y : options.score2) = second;
            ++at;
        } else {
            throw ScriptError("join knows team, level, ship, squad, ident, at, score and carrying, not '" + key + "'");
        }
    }
    return [name = words[1], options](Arena& arena) {
        if (options.ident >= 0) {
            for (const ArenaPlayer& other : arena.everyone()) {
                if (other.ident == options.ident) throw ScriptError(other.name + " already has that ident");
            }
        }
        ArenaPlayer& player = arena.join(name);
        if (options.ident >= 0) player.ident = static_cast<uint16_t>(options.ident);
        player.accessLevel = options.level;
        player.team = options.team;
        player.ship = options.ship;
        player.squad = options.squad;
        player.x = options.x;
        player.y = options.y;
        player.flagCount = options.flags;
        player.score1 = options.score1;
        player.score2 = options.score2;
        player.updateRecord();
    };
}

Action parseLeave(const Words& words) {
    return [name = words[1]](Arena& arena) { arena.leave(name); };
}

Action parseMove(const Words& words) {
    const int32_t x = int32Number(words[2], "x");
    const int32_t y = int32Number(words[3], "y");
    return changePlayer(words[1], [x, y](ArenaPlayer& player) {
        player.x = x;
        player.y = y;
    });
}

Action parseCarry(const Words& words) {
    const uint16_t count = uint16Number(words[2], "the number of flags");
    return changePlayer(words[1], [count](ArenaPlayer& player) { player.flagCount = count; });
}

Action parseTeam(const Words& words) {
    const uint16_t team = uint16Number(words[2], "the team");
    return changePlayer(words[1], [team](ArenaPlayer& player) { player.team = team; });
}

Action parseShip(const Words& words) {
    const auto ship = static_cast<uint8_t>(number(words[2], "the ship", 0, 255));
    return changePlayer(words[1], [ship](ArenaPlayer& player) { player.ship = ship; });
}

Action parseLevel(const Words& words) {
    const auto level = static_cast<uint32_t>(number(words[2], "the access level", 0, 4294967295));
    return changePlayer(words[1], [level](ArenaPlayer& player) { player.accessLevel = level; });
}

Action parseSquad(const Words& words) {
    const std::string squad = words.size() > 2 ? words[2] : "";
    if (squad.size() >= stand_in::PlayerRecord::squadSize) throw ScriptError("the squad name is too long");
    return changePlayer(words[1], [squad](ArenaPlayer& player) { player.squad = squad; });
}

Action parseScore(const Words& words) {
    const int32_t score1 = int32Number(words[2], "the first score");
    const int32_t score2 = words.size() > 3 ? int32Number(words[3], "the second score") : 0;
    return changePlayer(words[1], [score1, score2](ArenaPlayer& player) {
        player.score1 = score1;
        player.score2 = score2;
    });
}

Action parsePrize(const Words& words) {
    // The host contract knows these prize types only.
    const auto type = static_cast<int32_t>(number(words[2], "the prize type", lowestPrizeType, highestPrizeType));
    return [name = words[1], type](Arena& arena) { arena.prize(Arena::botHandle, arena.player(name).record, type); };
}

Action parseFlagWin(const Words& words) {
    const uint32_t team = teamNumber(words[1]);
    return [team](Arena& arena) { arena.flagVictory(Arena::botHandle, team); };
}

Action parseGoal(const Words& words) {
    const uint32_t team = teamNumber(words[1]);
    return [team](Arena& arena) { arena.soccerGoal(Arena::botHandle, team); };
}

Action parseFlag(const Words& words) {
    if (words.size() == 2) {
        if (words[1] != "clear") throw ScriptError("usage: flag TILE-X TILE-Y, or flag clear");
        return [](Arena& arena) { arena.clearFlags(); };
    }
    const uint16_t tileX = uint16Number(words[1], "the tile x");
    const uint16_t tileY = uint16Number(words[2], "the tile y");
    return [tileX, tileY](Arena& arena) { arena.addFlag(tileX, tileY); };
}

Action parseTick(const Words& words) {
    const auto count = static_cast<uint32_t>(words.size() > 1 ? number(words[1], "the tick count", 1, 1000000) : 1);
    return [count](Arena& arena) { arena.tick(Arena::botHandle, count); };
}

Action parseInit(const Words& words) {
    uint32_t version = uint32_t{interfaceMajor} << 16 | interfaceMinor;
    if (words.size() > 1) {
        const std::string& text = words[1];
        const size_t dot = text.find('.');
        if (dot == std::string::npos) throw ScriptError("the host version is written MAJOR.MINOR, as in 6.0");
        const uint16_t major = uint16Number(text.substr(0, dot), "the major version");
        const uint16_t minor = uint16Number(text.substr(dot + 1), "the minor version");
        version = uint32_t{major} << 16 | minor;
    }
    return [version](Arena& arena) { arena.init(Arena::botHandle, version); };
}

Action parseTerm(const Words&) {
    return [](Arena& arena) { arena.term(Arena::botHandle); };
}

Action parsePlayers(const Words&) {
    return [](Arena& arena) { arena.describe(arena.output()); };
}

Action parseHelp(const Words& words) {
    const std::string word = words.size() > 1 ? words[1] : "";
    std::ostringstream probe;
    if (!printLanguageHelp(probe, word)) throw ScriptError("no help for '" + word + "' (help lists the commands)");
    return [word](Arena& arena) { printLanguageHelp(arena.output(), word); };
}

const Verb verbs[] = {
    {"join", "join NAME [team N] [level N] [ship N] [squad TEXT] [ident N] [at X Y] [score S1 S2] [carrying N]",
     "a player enters the arena (team 0, level 0, ship 0, at 8192 8192 unless told)", 2, 64, parseJoin},
    {"leave", "leave NAME", "a player leaves the arena", 2, 2, parseLeave},
    {"move", "move NAME X Y", "a player moves to a position in pixels (16 to a tile)", 4, 4, parseMove},
    {"carry", "carry NAME N", "a player now carries N flags", 3, 3, parseCarry},
    {"team", "team NAME N", "a player changes to team (frequency) N", 3, 3, parseTeam},
    {"ship", "ship NAME N", "a player changes ship; ship 8 is a spectator", 3, 3, parseShip},
    {"level", "level NAME N",
     "a player's access level: " + std::to_string(playerLevel) + " player, " + std::to_string(lowestOperatorLevel) +
         " to " + std::to_string(highestOperatorLevel) + " operator",
     3, 3, parseLevel},
    {"squad", "squad NAME [TEXT]", "a player's squad name (none without TEXT)", 2, 3, parseSquad},
    {"score", "score NAME S1 [S2]", "a player's two score counters; their sum is the player's points", 3, 4,
     parseScore},
    {"prize", "prize NAME TYPE",
     "a player picks up a prize of type " + std::to_string(lowestPrizeType) + " to " + std::to_string(highestPrizeType),
     3, 3, parsePrize},
    {"flagwin", "flagwin TEAM", "a team wins the flag game", 2, 2, parseFlagWin},
    {"goal", "goal TEAM", "a team scores a soccer goal", 2, 2, parseGoal},
    {"flag", "flag TILE-X TILE-Y | flag clear", "an uncarried flag lies at a tile; clear takes them all away", 2, 3,
     parseFlag},
    {"tick", "tick [N]", "N ticks pass (1 without N); the bank file is saved every " + std::to_string(saveInterval), 1,
     2, parseTick},
    {"init", "init [MAJOR.MINOR]", "the host connects the plug-in (version 6.0 unless told)", 1, 2, parseInit},
    {"term", "term", "the host disconnects the plug-in, which saves the bank file", 1, 1, parseTerm},
    {"players", "players", "shows the players and flags of the arena", 1, 1, parsePlayers},
    {"help", "help [COMMAND]", "shows this summary, or one command's usage", 1, 2, parseHelp},
};

constexpr const char* chatUsage = "NAME: !WORD [PARAMETERS]";
constexpr const char* chatSummary =
    "a player types a chat command; NAME: !help [TOPIC] asks for help instead";
constexpr const char* killUsage = "NAME kills NAME";
constexpr const char* killSummary = "the first player kills the second";

Action parseChat(const std::string& name, std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (text.empty() || text.front() != '!') throw ScriptError("the plug-in hears only commands: " + std::string(chatUsage));
    text.remove_prefix(1);
    const size_t blank = text.find(' ');
    const std::string word(text.substr(0, blank));
    // The parameters are everything after the blank that ends the word, as typed.
    const std::string parameters(blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1));
    if (word.empty()) throw ScriptError("no command word after '!'");
    if (word == "help") {
        return [name, parameters](Arena& arena) { arena.help(Arena::botHandle, arena.player(name).record, parameters); };
    }
    return [name, word, parameters](Arena& arena) { arena.command(Arena::botHandle, arena.player(name).record, word, parameters); };
}

}  // namespace

Action parseLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#') return {};
    line.remove_prefix(first);

    // A chat line: the name (quoted when it holds blanks) and a colon.
    if (line.front() == '"') {
        const size_t close = line.find('"', 1);
        if (close != std::string_view::npos && close + 1 < line.size() && line[close + 1] == ':') {
            return parseChat(std::string(line.substr(1, close - 1)), line.substr(close + 2));
        }
    } else {
        const size_t colon = line.find(':');
        const size_t blank = line.find_first_of(" \t");
        if (colon != std::string_view::npos && colon < blank) {
            return parseChat(std::string(line.substr(0, colon)), line.substr(colon + 1));
        }
    }

    const Words words = splitWords(line);
    if (words.size() == 3 && words[1] == "kills") {
        return [killer = words[0], victim = words[2]](Arena& arena) {
            arena.death(Arena::botHandle, arena.player(victim).record, arena.player(killer).record);
        };
    }
    for (const Verb& verb : verbs) {
        if (words[0] != verb.word) continue;
        if (words.size() < verb.fewestWords || words.size() > verb.mostWords) {
            throw ScriptError(std::string("usage: ") + verb.usage);
        }
        return verb.parse(words);
    }
    throw ScriptError("unknown command '" + words[0] + "' (help lists the commands)");
}

std::optional<std::vector<ScriptLine>> readScript(std::istream& in, const std::string& name, std::ostream& errors) {
    std::vector<ScriptLine> lines;
    bool valid = true;
    std::string text;
    for (size_t number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        try {
            lines.push_back({number, text, parseLine(text)});
        } catch (const ScriptError& error) {
            errors << name << ':' << number << ": " << error.what() << "\n    " << text << '\n';
            valid = false;
        }
    }
    if (!valid) return std::nullopt;
    return lines;
}

bool playScript(const std::vector<ScriptLine>& lines, Arena& arena, const std::string& name, std::ostream& errors) {
    std::ostream& out = arena.output();
    for (const ScriptLine& line : lines) {
        // The transcript shows each step before what the plug-in said to it.
        out << (line.action ? "> " : "") << line.text << '\n';
        if (!line.action) continue;
        try {
            line.action(arena);
        } catch (const ScriptError& error) {
            out.flush();
            errors << name << ':' << line.number << ": " << error.what() << "\n    " << line.text << '\n';
            return false;
        }
    }
    return true;
}

bool printLanguageHelp(std::ostream& out, std::string_view word) {
    if (word.empty()) {
        out << "Each line is one step:\n";
        for (const Verb& verb : verbs) out << "  " << verb.usage << "\n      " << verb.summary << '\n';
        out << "  " << killUsage << "\n      " << killSummary << '\n';
        out << "  " << chatUsage << "\n      " << chatSummary << '\n';
        out << "Names holding blanks are written in double quotes. Lines starting with # are comments.\n";
        return true;
    }
    for (const Verb& verb : verbs) {
        if (word == verb.word) {
            out << verb.usage << "\n    " << verb.summary << '\n';
            return true;
        }
    }
    if (word == "kills") {
        out << killUsage << "\n    " << killSummary << '\n';
        return true;
    }
    return false;
}

}  // namespace kadrel::tools

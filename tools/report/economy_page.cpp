// Writes kadrel report's page from its data: sections with plain titles, a
// message wherever there is nothing to draw, tables already sorted.
#include "tools/report/economy_page.h"

#include <string>
#include <vector>

#include "tools/report/page_assets.h"

namespace kadrel::tools {

namespace {

using Json = nlohmann::ordered_json;

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string text(const Json& value) {
    if (value.is_string()) return escaped(value.get<std::string>());
    if (value.is_null()) return "";
    return value.dump();
}

// 1,234,567: grouped digits, the same on every system.
std::string grouped(int64_t value) {
    const std::string digits = std::to_string(value < 0 ? -static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
    std::string out = value < 0 ? "-" : "";
    for (size_t at = 0; at < digits.size(); ++at) {
        if (at > 0 && (digits.size() - at) % 3 == 0) out += ',';
        out += digits[at];
    }
    return out;
}

struct Column {
    const char* heading;
    const char* key;
    bool number;
};

void table(std::ostream& out, const Json& rows, const std::vector<Column>& columns, const char* none) {
    if (rows.empty()) {
        out << "<p>" << none << "</p>\n";
        return;
    }
    out << "<table><thead><tr>";
    for (const Column& column : columns)
        out << (column.number ? "<th class=\"n\">" : "<th>") << column.heading << "</th>";
    out << "</tr></thead><tbody>\n";
    for (const Json& row : rows) {
        out << "<tr>";
        for (const Column& column : columns) {
            const Json& value = row[column.key];
            out << (column.number ? "<td class=\"n\">" : "<td>")
                << (value.is_number_integer() ? grouped(value.get<int64_t>()) : text(value)) << "</td>";
        }
        out << "</tr>\n";
    }
    out << "</tbody></table>\n";
}

std::string share(const Json& permille) {
    if (permille.is_null()) return "none";
    const int64_t value = permille.get<int64_t>();
    return std::to_string(value / 10) + "." + std::to_string(value % 10) + "%";
}

// Why there is nothing to draw, in place of a chart.
std::string nothingToDraw(const Json& data) {
    const std::string state = data["state"];
    if (state == "no-history") {
        return "No changes yet: the history and the journal hold none. The charts fill in once the bots have paid "
               "or charged credits.";
    }
    const std::string from = data["range"]["from"], to = data["range"]["to"];
    return "No changes " + (from.empty() ? "" : "from " + escaped(from) + " ") +
           (to.empty() ? "" : "up to " + escaped(to) + " ") + "in the history. It holds changes from " +
           text(data["firstTime"]) + " to " + text(data["lastTime"]) + ".";
}

void chart(std::ostream& out, const Json& data, const char* kind, bool drawable, const std::string& otherwise) {
    if (data["state"] != "data") {
        out << "<p class=\"empty\">" << nothingToDraw(data) << "</p>\n";
    } else if (!drawable) {
        out << "<p class=\"empty\">" << otherwise << "</p>\n";
    } else {
        out << "<div class=\"chart\" data-chart=\"" << kind << "\"></div>\n";
    }
}

const char* bucketName(int64_t width) { return width == 60 ? "minute" : width == 3600 ? "hour" : "day"; }

void players(std::ostream& out, const Json& data) {
    const Json& players = data["players"];
    const Json& wealth = data["wealth"];
    out << "<h2>The players</h2>\n<div class=\"columns\"><div><h3>Richest now</h3>\n";
    table(out, players["topBalances"], {{"Player", "name", false}, {"Credits", "credits", true}}, "No accounts.");
    out << "</div><div><h3>Earned most in the range</h3>\n";
    table(out, players["topEarners"], {{"Player", "name", false}, {"Credits in", "credits", true}},
          "Nobody earned credits.");
    out << "</div><div><h3>Spent most in the shop</h3>\n";
    table(out, players["topSpenders"], {{"Player", "name", false}, {"Credits spent", "credits", true}},
          "Nobody bought anything.");
    out << "</div></div>\n<h3>How wealth is spread</h3>\n<p>" << grouped(wealth["accounts"].get<int64_t>())
        << " accounts hold " << grouped(wealth["sum"].get<int64_t>()) << " credits. Of the credits held, the "
        << "richest 1% of accounts hold " << share(wealth["richest1PercentPermille"]) << " and the richest 10% hold "
        << share(wealth["richest10PercentPermille"]) << ".</p>\n";
    if (wealth["accounts"] == 0) {
        out << "<p class=\"empty\">The bank holds no accounts.</p>\n";
    } else {
        out << "<div class=\"chart\" data-chart=\"spread\"></div>\n";
    }
}

void health(std::ostream& out, const Json& data) {
    const Json& health = data["health"];
    out << "<h2>The bank's health</h2>\n<table><tbody>\n<tr><td>Accounts</td><td class=\"n\">"
        << grouped(health["accounts"].get<int64_t>()) << "</td></tr>\n<tr><td>Quorlen.bank</td><td class=\"n\">"
        << grouped(health["bankBytes"].get<int64_t>()) << " bytes</td></tr>\n<tr><td>Its journal</td><td class=\"n\">"
        << grouped(health["journalBytes"].get<int64_t>()) << " bytes, "
        << grouped(health["unfiledChanges"].get<int64_t>()) << " changes not yet in the history</td></tr>\n";
    for (const Json& file : health["historyFiles"]) {
        out << "<tr><td>" << text(file["file"]) << "</td><td class=\"n\">" << grouped(file["bytes"].get<int64_t>())
            << " bytes</td></tr>\n";
    }
    const Json& filed = health["lastFiled"];
    out << "<tr><td>Last checkpoint</td><td>"
        << (filed.is_null()
                ? std::string("none yet")
                : "filed change " + grouped(filed["sequence"].get<int64_t>()) + ", made " + text(filed["time"]))
        << "</td></tr>\n</tbody></table>\n";
    if (health["setAside"].empty() && health["damagedHistory"].empty()) {
        out << "<p>No damaged file was found or set aside.</p>\n";
        return;
    }
    out << "<p>Damaged files:</p><ul>\n";
    for (const Json& name : health["setAside"]) out << "<li>" << text(name) << ", set aside</li>\n";
    for (const Json& file : health["damagedHistory"]) {
        out << "<li>" << text(file["file"]) << ": " << grouped(file["recordsSkipped"].get<int64_t>())
            << " changes skipped from the damage on</li>\n";
    }
    out << "</ul>\n";
}

// The data as a script element's text: no "<" that could end it early.
std::string embedded(const Json& data) {
    std::string json = data.dump();
    std::string out;
    for (const char c : json) out += c == '<' ? std::string("\\u003c") : std::string(1, c);
    return out;
}

}  // namespace

void writeEconomyPage(std::ostream& out, const nlohmann::ordered_json& data) {
    const std::string from = data["range"]["from"], to = data["range"]["to"];
    const bool drawing = data["state"] == "data";
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Kadrel economy</title>\n"
        << "<style>\n"
        << uplotStyles << "\n"
        << pageStyles << "</style>\n</head>\n<body>\n<h1>The economy</h1>\n"
        << "<p class=\"range\">"
        << (data["firstTime"].is_null()
                ? std::string("The history holds no changes.")
                : "Changes " + (from.empty() ? "from the start of the history" : "from " + escaped(from)) + " " +
                      (to.empty() ? "to the last one" : "up to " + escaped(to)) + ": " +
                      grouped(data["changes"]["inRange"].get<int64_t>()) + " of " +
                      grouped(data["changes"]["all"].get<int64_t>()) + ". Times are UTC.")
        << "</p>\n";
    for (const Json& note : data["notes"]) out << "<p class=\"note\">" << text(note) << "</p>\n";

    out << "<h2>Credits held by all players, by " << bucketName(data["supply"]["width"]) << "</h2>\n";
    chart(out, data, "supply", true, "");

    out << "<h2>Credits created and destroyed per " << bucketName(data["flows"]["width"]) << ", by cause</h2>\n";
    if (drawing) out << "<p id=\"flows-legend\">Above the line what came in, below what went out: </p>\n";
    chart(out, data, "flows", true, "");
    table(out, data["causeTotals"],
          {{"Cause", "cause", false},
           {"Changes", "changes", true},
           {"Created", "created", true},
           {"Destroyed", "destroyed", true}},
          "No changes.");

    out << "<h2>The shop</h2>\n";
    chart(out, data, "shop", !data["items"].empty(), "Nothing was bought.");
    table(out, data["items"],
          {{"Item", "name", false},
           {"Section", "number", true},
           {"Purchases", "purchases", true},
           {"Credits spent", "spent", true}},
          "");

    players(out, data);

    const Json& operators = data["operators"];
    out << "<h2>What the operators did</h2>\n<p>Every !cgive, !ctake and !creset, and every change of the bank "
        << "tool (set, import, undo, rollback): " << grouped(operators["count"].get<int64_t>()) << " in the range";
    if (operators["count"].get<size_t>() > operators["shown"].size()) {
        out << ", the newest " << operators["shown"].size()
            << " below; <code>kadrel bank history --operator NAME</code> shows the others";
    }
    out << ".</p>\n";
    Json shown = operators["shown"];
    for (Json& action : shown) {
        if (action["by"] == "") action["by"] = "bank tool";
    }
    table(out, shown,
          {{"When", "time", false},
           {"Transaction", "transaction", true},
           {"What", "cause", false},
           {"By", "by", false},
           {"Account", "whom", false},
           {"Accounts", "accounts", true},
           {"Credits moved", "moved", true}},
          "None.");

    health(out, data);
    out << "<script type=\"application/json\" id=\"data\">" << embedded(data) << "</script>\n<script>\n"
        << uplotScript << "\n</script>\n<script>\n"
        << pageScript << "</script>\n</body>\n</html>\n";
}

}  // namespace kadrel::tools

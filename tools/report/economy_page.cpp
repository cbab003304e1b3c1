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
    bool bar = false;  // followed by a bar of the value against the column's largest
};

std::string cell(const Json& value) {
    return value.is_number_integer() ? grouped(value.get<int64_t>()) : text(value);
}

// A table in a box of its own, which scrolls sideways on a narrow screen
// rather than the page; `totals`, when given, is its last row.
void table(std::ostream& out, const Json& rows, const std::vector<Column>& columns, const char* none,
           const Json& totals = nullptr) {
    if (rows.empty()) {
        out << "<p>" << none << "</p>\n";
        return;
    }
    out << "<div class=\"table\"><table><thead><tr>";
    for (const Column& column : columns) {
        out << (column.number ? "<th class=\"n\">" : "<th>") << column.heading << "</th>";
        if (column.bar) out << "<th class=\"bar\"></th>";
    }
    out << "</tr></thead><tbody>\n";
    std::vector<int64_t> largest(columns.size());
    for (size_t at = 0; at < columns.size(); ++at) {
        for (const Json& values : rows) {
            if (columns[at].bar) largest[at] = std::max(largest[at], values[columns[at].key].get<int64_t>());
        }
    }
    const auto row = [&](const Json& values) {
        out << "<tr>";
        for (size_t at = 0; at < columns.size(); ++at) {
            const Column& column = columns[at];
            out << (column.number ? "<td class=\"n\">" : "<td>") << cell(values[column.key]) << "</td>";
            if (!column.bar) continue;
            const int64_t value = values[column.key].get<int64_t>();
            out << "<td class=\"bar\"><span style=\"width:" << (largest[at] > 0 ? std::max<int64_t>(value, 0) * 100 / largest[at] : 0)
                << "%\"></span></td>";
        }
        out << "</tr>\n";
    };
    for (const Json& values : rows) row(values);
    out << "</tbody>";
    if (!totals.is_null()) {
        out << "<tfoot>";
        row(totals);
        out << "</tfoot>";
    }
    out << "</table></div>\n";
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

void chart(std::ostream& out, const Json& data, const char* kind, bool drawable, const std::string& otherwise,
           const std::string& bucket = "") {
    if (data["state"] != "data") {
        out << "<p class=\"empty\">" << nothingToDraw(data) << "</p>\n";
    } else if (!drawable) {
        out << "<p class=\"empty\">" << otherwise << "</p>\n";
    } else {
        out << "<div class=\"chart\" data-chart=\"" << kind << "\""
            << (bucket.empty() ? "" : " data-bucket=\"" + bucket + "\"") << "></div>\n";
    }
}

std::string bucketName(int64_t width) {
    static const std::pair<int64_t, const char*> names[] = {{1, "second"},    {10, "10 seconds"}, {60, "minute"},
                                                            {600, "10 minutes"}, {3600, "hour"},    {21600, "6 hours"},
                                                            {86400, "day"}};
    for (const auto& [seconds, name] : names) {
        if (seconds == width) return name;
    }
    return grouped(width) + " seconds";
}

// Why no balance is shown, when the bank could not be read.
std::string balancesUnknown(const Json& data) {
    return data["health"]["state"] == "missing" ? "No balances: Quorlen.bank is missing."
                                                : "No balances: Quorlen.bank could not be read.";
}

void players(std::ostream& out, const Json& data) {
    const Json& players = data["players"];
    const Json& wealth = data["wealth"];
    const bool known = data["health"]["balancesKnown"];
    out << "<h2>The players</h2>\n<div class=\"columns\"><div><h3>Richest now</h3>\n";
    table(out, players["topBalances"], {{"Player", "name", false}, {"Credits", "credits", true}},
          known ? "No accounts." : balancesUnknown(data).c_str());
    out << "</div><div><h3>Earned most in the range</h3>\n";
    table(out, players["topEarners"], {{"Player", "name", false}, {"Credits from play", "credits", true}},
          "Nobody earned credits.");
    out << "</div><div><h3>Spent most in the shop</h3>\n";
    table(out, players["topSpenders"], {{"Player", "name", false}, {"Credits spent", "credits", true}},
          "Nobody bought anything.");
    out << "</div></div>\n<h3>How wealth is spread</h3>\n";
    if (!known) {
        out << "<p class=\"empty\">" << balancesUnknown(data) << "</p>\n";
        return;
    }
    out << "<p>" << grouped(wealth["accounts"].get<int64_t>()) << " accounts hold " << grouped(wealth["sum"].get<int64_t>())
        << " credits. Of the credits held, the richest 1% of accounts hold " << share(wealth["richest1PercentPermille"])
        << " and the richest 10% hold " << share(wealth["richest10PercentPermille"]) << ".</p>\n";
    if (wealth["accounts"] == 0) {
        out << "<p class=\"empty\">The bank holds no accounts.</p>\n";
        return;
    }
    Json bins = Json::array();
    for (size_t at = 0; at < wealth["histogram"]["labels"].size(); ++at) {
        bins.push_back({{"balance", wealth["histogram"]["labels"][at]}, {"accounts", wealth["histogram"]["counts"][at]}});
    }
    table(out, bins, {{"Balance", "balance", false}, {"Accounts", "accounts", true, true}}, "");
}

// The health in words: what is missing or damaged, the same at the top of
// the page and in its section at the end.
void verdict(std::ostream& out, const Json& data) {
    const std::string state = data["health"]["state"];
    out << "<div class=\"health " << state << "\"><p><strong>Health: " << state << ".</strong>";
    if (state == "sound") {
        out << " No file of the bank is missing or damaged.</p></div>\n";
        return;
    }
    out << "</p><ul>\n";
    for (const Json& problem : data["notes"]) out << "<li>" << text(problem) << "</li>\n";
    out << "</ul></div>\n";
}

std::string bytes(const Json& size) { return size.is_null() ? "missing" : grouped(size.get<int64_t>()) + " bytes"; }

void health(std::ostream& out, const Json& data) {
    const Json& health = data["health"];
    out << "<h2>The bank's health</h2>\n";
    verdict(out, data);
    out << "<div class=\"table\"><table><tbody>\n<tr><td>Accounts</td><td class=\"n\">"
        << (health["balancesKnown"] ? grouped(health["accounts"].get<int64_t>()) : std::string("unknown"))
        << "</td></tr>\n<tr><td>Quorlen.bank</td><td class=\"n\">" << bytes(health["bankBytes"])
        << "</td></tr>\n<tr><td>Its journal</td><td class=\"n\">" << bytes(health["journalBytes"]) << ", "
        << grouped(health["unfiledChanges"].get<int64_t>()) << " changes not yet in the history</td></tr>\n";
    for (const Json& file : health["historyFiles"]) {
        out << "<tr><td>" << text(file["file"]) << "</td><td class=\"n\">" << bytes(file["bytes"]) << "</td></tr>\n";
    }
    const Json& filed = health["lastFiled"];
    out << "<tr><td>Last checkpoint</td><td>"
        << (filed.is_null()
                ? std::string("none yet")
                : "filed change " + grouped(filed["sequence"].get<int64_t>()) + ", made " + text(filed["time"]))
        << "</td></tr>\n</tbody></table></div>\n";
}

// The data as a script element's text: no "<" that could end it early, and
// bytes that are not UTF-8 (a stray file's name) as U+FFFD rather than a throw.
std::string embedded(const Json& data) {
    std::string json = data.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string out;
    for (const char c : json) out += c == '<' ? std::string("\\u003c") : std::string(1, c);
    return out;
}

}  // namespace

void writeEconomyPage(std::ostream& out, const nlohmann::ordered_json& data) {
    const std::string from = data["range"]["from"], to = data["range"]["to"];
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Kadrel economy</title>\n"
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
    verdict(out, data);

    out << "<h2>Credits held by all players</h2>\n";
    chart(out, data, "supply", data["health"]["balancesKnown"], balancesUnknown(data));

    out << "<h2>Credits created and destroyed per " << bucketName(data["flows"]["width"]) << ", by cause</h2>\n";
    chart(out, data, "flows", true, "", bucketName(data["flows"]["width"]));
    Json totals = {{"cause", "All causes"}, {"changes", 0}, {"created", 0}, {"destroyed", 0}, {"net", 0}};
    Json causes = data["causeTotals"];
    for (Json& cause : causes) {
        cause["net"] = cause["created"].get<int64_t>() + cause["destroyed"].get<int64_t>();
        for (const char* key : {"changes", "created", "destroyed", "net"}) {
            totals[key] = totals[key].get<int64_t>() + cause[key].get<int64_t>();
        }
    }
    table(out, causes,
          {{"Cause", "cause", false},
           {"Changes", "changes", true},
           {"Created", "created", true},
           {"Destroyed", "destroyed", true},
           {"Net", "net", true}},
          "No changes.", totals);

    out << "<h2>The shop</h2>\n";
    table(out, data["items"],
          {{"Item", "name", false},
           {"Section", "number", true},
           {"Purchases", "purchases", true},
           {"Credits spent", "spent", true, true}},
          "Nothing was bought.");

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
        action["what"] = action["cause"].get<std::string>() +
                         (action.contains("reverses") ? " of " + action["reverses"].get<std::string>() : "");
    }
    table(out, shown,
          {{"When", "time", false},
           {"Transaction", "transaction", true},
           {"What", "what", false},
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

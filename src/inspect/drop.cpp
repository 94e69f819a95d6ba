#include "inspect/drop.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>

#include "exec/commands.h"
#include "exec/runners.h"
#include "exec/shell_quote.h"
#include "util/catalogue.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
const std::string separator(56, '-');

// Operators type in any case and sometimes more than one word; only the
// first word counts, and it must be the word itself.
std::string readAnswerWord(std::istream& answer) {
    std::string word;
    answer >> word;
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word;
}

void writeProgressLine(const std::string& text) {
    writeReportLine(getCurrentTime() + " - " + text);
}

// A name that could escape its command line is never put into a query; it
// counts as unread, which is the cautious side for a drop.
using CompletedRows = std::map<std::string, std::optional<std::int64_t>>;

CompletedRows readCompletedRows(const ProductCatalogue& catalogue,
                                const ClickHouseLogin& clickhouse, const Host& machine) {
    CompletedRows rows;
    forEachCollection(catalogue, [&](const std::string&, const std::string& name) {
        if (rows.count(name) != 0) return;
        std::optional<std::int64_t>& count = rows[name];
        if (!isAcceptableCollectionName(name)) return;
        const QueryResult result = getClickHouseQueryResult(
            clickhouse, completedRowCountSql(completedTableName(name)), machine);
        if (!result.fields.empty()) count = readLeadingInt64(result.fields.front());
    });
    return rows;
}

bool isMigrated(const std::optional<std::int64_t>& count) { return count && *count > 0; }

std::string listedLine(const std::string& name, const std::optional<std::int64_t>& count) {
    std::string line = name + "  (completed rows : ";
    line += count ? std::to_string(*count) : "unreadable";
    line += ")";
    if (!isMigrated(count)) line += " [NOT MIGRATED]";
    return line;
}
}  // namespace

bool dropCollections(const ProductCatalogue& catalogue, const MongoLogin& mongo,
                     const ClickHouseLogin& clickhouse, std::istream& answer,
                     const Host& machine) {
    const CompletedRows completed = readCompletedRows(catalogue, clickhouse, machine);
    bool anyNotMigrated = false;
    for (const auto& [name, count] : completed) anyNotMigrated = anyNotMigrated || !isMigrated(count);

    writeReportLine(separator);
    writeReportLine("DROP Collection List");
    writeReportLine("");
    for (const auto& entry : catalogue) {
        for (const auto& [section, names] : entry) {
            writeReportLine("[" + section + "]");
            for (const std::string& name : names) writeReportLine(listedLine(name, completed.at(name)));
            writeReportLine("");
        }
    }
    writeReportLine(separator);

    // Dropping a collection whose data never reached ClickHouse loses it for
    // good, so a plain "yes" typed out of habit must not do it.
    const std::string confirmation = anyNotMigrated ? "force" : "yes";
    if (anyNotMigrated) {
        std::cout << "Collections marked [NOT MIGRATED] would be lost. Type force to drop them "
                     "anyway (force/no) : ";
    } else {
        std::cout << "Are you sure you want to drop the collection? (yes/no) : ";
    }
    std::cout << std::flush;
    const std::string word = readAnswerWord(answer);
    if (anyNotMigrated && word == "yes")
        writeReportLine("Nothing dropped: collections marked [NOT MIGRATED] need the answer force");
    bool allDropped = true;
    if (word == confirmation) {
        forEachCollection(catalogue, [&](const std::string&, const std::string& name) {
            if (!isAcceptableCollectionName(name)) {
                LOG("Refused collection name \"", name, "\": only A-Z a-z 0-9 _ . - are accepted");
                allDropped = false;
                return;
            }
            writeProgressLine(name + " collection drop start ");
            const CommandOutput dropped = executeCommand(dropCollectionCommand(mongo, name), machine);
            if (dropped.failed()) {
                writeProgressLine(name + " collection drop failed (" + dropped.failure() + ")");
                allDropped = false;
            } else {
                writeProgressLine(name + " collection drop end ");
            }
            writeReportLine("");
        });
    }
    writeReportLine(separator);
    return allDropped;
}

#include "inspect/drop.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "compare/compare_span.h"
#include "exec/mongo_shell_scripts.h"
#include "exec/runners.h"
#include "exec/shell_quote.h"
#include "util/catalogue.h"
#include "util/log.h"

namespace {
// Operators type in any case and sometimes more than one word; only the
// first word of the answer line counts, and it must be the word itself. An
// empty line is an answer too; nothing when the input ended before a line.
std::optional<std::string> readAnswerWord(std::istream& answer) {
    std::string line;
    if (!std::getline(answer, line)) return std::nullopt;
    std::string word;
    std::istringstream(line) >> word;
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word;
}

void writeProgressLine(const std::string& text) {
    writeReportLine(getCurrentTime() + " - " + text);
}

// What ClickHouse holds of a listed collection, and the mark its list line
// carries unless every document of the collection is known to be there
// exactly once. A drop loses the whole collection, so the whole collection
// is compared, whatever span a migration verified (the base report keeps
// what lies below its age floor in MongoDB only). Rows of documents MongoDB
// let go are history that stays in ClickHouse; they mark nothing.
struct Comparison {
    std::optional<std::int64_t> completedRows;
    std::string mark;  // empty when every document is there once
    bool readable = true;  // false when a side could not be read: the list cannot be judged
};

std::string notVerified(const std::string& why) { return "[NOT VERIFIED : " + why + "]"; }

// A name that could escape its command line is never put into a query; it
// stays unverified, which is the cautious side for a drop.
Comparison compareWholeCollection(const std::string& name, const MongoLogin& mongo,
                                  const ClickHouseLogin& clickhouse, const Host& machine) {
    if (!isAcceptableCollectionName(name)) return {std::nullopt, notVerified("refused name")};
    const ObjectIdSpan everything{.lower = std::string(24, '0'), .upper = std::string(24, 'f')};
    const SpanComparison compared =
        compareSpan({mongo, clickhouse, name, completedTableName(name), {}}, everything, machine);
    const std::optional<std::int64_t> rows =
        compared.rows ? std::optional(compared.rows->count) : std::nullopt;
    if (!rows) return {rows, notVerified("ClickHouse count unreadable (" + compared.why + ")"), false};
    if (*rows == 0) return {rows, "[NOT MIGRATED]"};
    if (!compared.findings)
        return {rows,
                notVerified(compared.unreadableSide.empty()
                                ? compared.why
                                : compared.unreadableSide + " count unreadable (" + compared.why + ")"),
                false};
    if (!compared.findings->whole()) return {rows, notVerified(describeFindings(*compared.findings))};
    return {rows, ""};
}

std::string listedLine(const std::string& name, const Comparison& comparison) {
    std::string line = name + "  (completed rows : ";
    line += comparison.completedRows ? std::to_string(*comparison.completedRows) : "unreadable";
    line += ")";
    if (!comparison.mark.empty()) line += " " + comparison.mark;
    return line;
}

}  // namespace

bool dropCollections(const ProductCatalogue& catalogue, const MongoLogin& mongo,
                     const ClickHouseLogin& clickhouse, std::istream& answer,
                     const Host& machine) {
    std::map<std::string, Comparison> compared;
    bool anyMarked = false;
    bool anyUnreadable = false;
    forEachCollection(catalogue, [&](const std::string&, const std::string& name) {
        if (compared.count(name) != 0) return;
        const Comparison& comparison = compared[name] =
            compareWholeCollection(name, mongo, clickhouse, machine);
        anyMarked = anyMarked || !comparison.mark.empty();
        anyUnreadable = anyUnreadable || !comparison.readable;
    });

    writeReportLine(reportSeparator);
    writeReportLine("DROP Collection List");
    writeReportLine("");
    for (const auto& entry : catalogue) {
        for (const auto& [section, names] : entry) {
            writeReportLine("[" + section + "]");
            for (const std::string& name : names) writeReportLine(listedLine(name, compared.at(name)));
            writeReportLine("");
        }
    }
    writeReportLine(reportSeparator);

    // Dropping documents that are not in ClickHouse loses them for good, so a
    // plain "yes" typed out of habit must not do it.
    if (anyMarked) {
        std::cout << "Collections marked [NOT MIGRATED] or [NOT VERIFIED] are not wholly in "
                     "ClickHouse: dropping them loses documents. Type force to drop the list "
                     "anyway (force/no) : ";
    } else {
        std::cout << "Are you sure you want to drop the collection? (yes/no) : ";
    }
    std::cout << std::flush;
    const std::optional<std::string> word = readAnswerWord(answer);
    bool asked = !anyUnreadable;
    // Anything but the words asked for is no answer, and a script or a
    // closed terminal that gave none must not end like a drop that was done.
    if (word != "yes" && word != "force" && word != "no") {
        writeReportLine(word ? "Nothing dropped: the answer was not yes, force or no"
                             : "Nothing dropped: the question got no answer");
        asked = false;
    }
    if (anyMarked && word == "yes") {
        writeReportLine(
            "Nothing dropped: collections marked [NOT MIGRATED] or [NOT VERIFIED] need the answer force");
        asked = false;
    }
    if (word == "force" || (word == "yes" && !anyMarked)) {
        std::set<std::string> handled;
        forEachCollection(catalogue, [&](const std::string&, const std::string& name) {
            if (!handled.insert(name).second) return;
            if (!isAcceptableCollectionName(name)) {
                LOG("Refused collection name \"", name, "\": only A-Z a-z 0-9 _ are accepted");
                asked = false;
                return;
            }
            // The answer may come hours after the list: a collection shown
            // whole then is compared again, and kept when it is not any more.
            // One shown marked was dropped knowingly with "force".
            if (compared.at(name).mark.empty()) {
                const Comparison now = compareWholeCollection(name, mongo, clickhouse, machine);
                if (!now.mark.empty()) {
                    writeProgressLine(name + " collection not dropped, changed since the list : " + now.mark);
                    writeReportLine("");
                    asked = false;
                    return;
                }
            }
            writeProgressLine(name + " collection drop start ");
            const CommandOutput dropped = executeCommand(dropCollectionCommand(mongo, name), machine);
            if (dropped.failed()) {
                writeProgressLine(name + " collection drop failed (" + dropped.failure() + ")");
                asked = false;
            } else {
                writeProgressLine(name + " collection drop end ");
            }
            writeReportLine("");
        });
    }
    writeReportLine(reportSeparator);
    return asked;
}

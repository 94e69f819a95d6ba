#include "exec/span_counts.h"

#include <sstream>

#include "exec/runners.h"
#include "util/parsers.h"

namespace {
constexpr const char* notANumber = "a count that is not a number";

// A count is a number of at least zero; an error text or a negative reply
// must never pass for one.
std::optional<std::int64_t> countOf(const std::string& reply) {
    const std::optional<std::int64_t> count = readLeadingInt64(reply);
    if (!count || *count < 0) return std::nullopt;
    return count;
}
}  // namespace

SideCount countDocuments(const MongoLogin& login, std::string_view collection,
                         const ObjectIdSpan& span, const Host& host) {
    const CommandOutput reply = executeCommand(countDocumentsCommand(login, collection, span), host);
    if (reply.failed()) return {std::nullopt, reply.failure()};
    const std::optional<std::int64_t> count = countOf(reply.text);
    return {count, count ? "" : notANumber};
}

CompletedRows countCompletedRows(const ClickHouseLogin& login, std::string_view completedTable,
                                 const ObjectIdSpan& span, const Host& host) {
    CompletedRows rows;
    const QueryResult reply =
        getClickHouseQueryResult(login, completedCountSql(completedTable, span), host);
    if (reply.failed()) {
        rows.why = reply.failure();
        return rows;
    }
    rows.count = reply.fields.empty() ? std::nullopt : countOf(reply.fields.front());
    if (!rows.count) rows.why = notANumber;
    const std::optional<std::int64_t> marks = reply.fields.size() < 2 ? std::nullopt : countOf(reply.fields[1]);
    if (marks != 0) {
        rows.count.reset();
        rows.why = marks ? "marked by a retry that did not end well: run retry again" : notANumber;
    }
    const std::string newest = reply.fields.size() < 3 ? "" : removeNewlines(reply.fields[2]);
    if (isObjectIdText(newest)) rows.newest = newest;
    return rows;
}

ManyCounts<std::vector<std::int64_t>> countDocumentsPerSpan(const MongoLogin& login,
                                                            std::string_view collection,
                                                            const std::vector<ObjectIdSpan>& spans,
                                                            const Host& host) {
    std::string printed;
    const CallStatus call =
        readLines(countDocumentsPerSpanCommand(login, collection, spans), host,
                  [&printed](std::string_view line) { printed.append(line).push_back(' '); });
    if (call.failed()) return {std::nullopt, call.failure()};
    std::vector<std::int64_t> counts;
    std::istringstream words(printed);
    for (std::string word; words >> word;) {
        const std::optional<std::int64_t> count = countOf(word);
        if (!count) return {std::nullopt, notANumber};
        counts.push_back(*count);
    }
    // One count too few would shift every later one onto the wrong piece.
    if (counts.size() != spans.size())
        return {std::nullopt, std::to_string(counts.size()) + " counts for " +
                                  std::to_string(spans.size()) + " spans"};
    return {std::move(counts), ""};
}

ManyCounts<std::map<std::string, std::int64_t>> countCompletedRowsByPrefix(
    const ClickHouseLogin& login, std::string_view completedTable, const ObjectIdSpan& span,
    std::size_t prefixLength, const std::vector<std::string>& parents, const Host& host) {
    std::map<std::string, std::int64_t> rows;
    bool readable = true;
    const CallStatus call = readLines(
        clickhouseCommand(login, completedCountsByPrefixSql(completedTable, span, prefixLength, parents)),
        host, [&](std::string_view line) {
            const std::size_t tab = line.find('\t');
            const std::optional<std::int64_t> count =
                tab == std::string_view::npos ? std::nullopt : countOf(std::string(line.substr(tab + 1)));
            if (count) rows[std::string(line.substr(0, tab))] = *count;
            readable = readable && count;
        });
    if (call.failed()) return {std::nullopt, call.failure()};
    if (!readable) return {std::nullopt, notANumber};
    return {std::move(rows), ""};
}

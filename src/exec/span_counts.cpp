#include "exec/span_counts.h"

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

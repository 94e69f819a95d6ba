#include "migrate/verify.h"

#include "exec/runners.h"
#include "exec/shell_quote.h"
#include "util/dates.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
bool isBound(const std::string& oid) { return oid.empty() || isObjectIdText(oid); }

std::optional<std::int64_t> countOf(const std::string& reply) {
    const std::optional<std::int64_t> count = readLeadingInt64(reply);
    if (!count || *count < 0) return std::nullopt;
    return count;
}

VerifiedSpan unreadable(const CollectionKind& kind, const std::string& why) {
    LOG_AS(kind.loggedAs, kind.name, " could not be verified (", why, ")");
    return {};
}
}  // namespace

VerifiedSpan verifyMigratedSpan(const OlapMigrator& run, const CollectionKind& kind,
                                ObjectIdSpan span) {
    if (!isBound(span.lower) || !isBound(span.upper)) return unreadable(kind, "no ObjectId bound");
    // One query gives the rows and, for a span without an upper bound, the
    // newest of them, which then bounds what MongoDB is asked for.
    const QueryResult completed =
        getClickHouseQueryResult(run.clickhouse, completedCountSql(kind.completedTable, span), run.host);
    if (completed.failed()) return unreadable(kind, completed.failure());
    const std::optional<std::int64_t> rows =
        completed.fields.empty() ? std::nullopt : countOf(completed.fields.front());
    if (span.upper.empty()) {
        const std::string newest = completed.fields.size() < 2 ? "" : removeNewlines(completed.fields[1]);
        span.upper = isObjectIdText(newest) ? newest : makeLastObjectIdOfTime(run.parameters.startedAt);
    }
    const CommandOutput mongo = executeCommand(countDocumentsCommand(run.mongo, kind.name, span), run.host);
    if (mongo.failed()) return unreadable(kind, mongo.failure());
    const std::optional<std::int64_t> documents = countOf(mongo.text);
    if (!documents || !rows) return unreadable(kind, "a count that is not a number");
    if (*documents == *rows) {
        LOG_AS(kind.loggedAs, kind.name, " verified : ", *documents, " documents");
        return {Verification::equal, *documents};
    }
    LOG_AS(kind.loggedAs, kind.name, " verification failed : MongoDB ", *documents,
           ", ClickHouse ", *rows);
    return {Verification::unequal, *documents};
}

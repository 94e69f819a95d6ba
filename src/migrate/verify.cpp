#include "migrate/verify.h"

#include "exec/span_counts.h"
#include "util/dates.h"
#include "util/parsers.h"
#include "util/log.h"

namespace {
bool isBound(const std::string& oid) { return oid.empty() || isObjectIdText(oid); }

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
    const CompletedRows rows = countCompletedRows(run.clickhouse, kind.completedTable, span, run.host);
    if (!rows.count) return unreadable(kind, rows.why);
    if (span.upper.empty())
        span.upper = rows.newest.empty() ? makeLastObjectIdOfTime(run.parameters.startedAt) : rows.newest;
    const SideCount documents = countDocuments(run.mongo, kind.name, span, run.host);
    if (!documents.count) return unreadable(kind, documents.why);
    if (*documents.count == *rows.count) {
        LOG_AS(kind.loggedAs, kind.name, " verified : ", *documents.count, " documents");
        return {Verification::equal, *documents.count, *rows.count, std::move(span)};
    }
    LOG_AS(kind.loggedAs, kind.name, " verification failed : MongoDB ", *documents.count,
           ", ClickHouse ", *rows.count);
    return {Verification::unequal, *documents.count, *rows.count, std::move(span)};
}

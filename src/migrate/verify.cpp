#include "migrate/verify.h"

#include "exec/span_counts.h"
#include "util/dates.h"
#include "util/parsers.h"
#include "util/log.h"

namespace {
bool isBound(const std::string& oid) { return oid.empty() || isObjectIdText(oid); }

std::nullopt_t unreadable(const CollectionKind& kind, const std::string& why) {
    LOG_AS(kind.loggedAs, kind.name, " could not be verified (", why, ")");
    return std::nullopt;
}
}  // namespace

std::optional<std::int64_t> countCompletedSpan(const OlapMigrator& run, const CollectionKind& kind,
                                               ObjectIdSpan& span) {
    if (!isBound(span.lower) || !isBound(span.upper)) return unreadable(kind, "no ObjectId bound");
    // One query gives the rows and, for a span without an upper bound, the
    // newest of them, which then bounds what MongoDB is asked for.
    const CompletedRows rows = countCompletedRows(run.clickhouse, kind.completedTable, span, run.host);
    if (!rows.count) return unreadable(kind, rows.why);
    if (span.upper.empty())
        span.upper = rows.newest.empty() ? makeLastObjectIdOfTime(run.parameters.startedAt) : rows.newest;
    return rows.count;
}

Verification judgeCounts(const CollectionKind& kind, std::int64_t documents, std::int64_t rows) {
    if (documents == rows) {
        LOG_AS(kind.loggedAs, kind.name, " verified : ", documents, " documents");
        return Verification::equal;
    }
    LOG_AS(kind.loggedAs, kind.name, " verification failed : MongoDB ", documents, ", ClickHouse ", rows);
    return Verification::unequal;
}

VerifiedSpan verifyMigratedSpan(const OlapMigrator& run, const CollectionKind& kind,
                                ObjectIdSpan span) {
    const std::optional<std::int64_t> rows = countCompletedSpan(run, kind, span);
    if (!rows) return {};
    const SideCount documents = countDocuments(run.mongo, kind.name, span, run.host);
    if (!documents.count) {
        unreadable(kind, documents.why);
        return {};
    }
    return {judgeCounts(kind, *documents.count, *rows), *documents.count};
}

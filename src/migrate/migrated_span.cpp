#include "migrate/migrated_span.h"

#include "exec/clickhouse_statements.h"
#include "exec/runners.h"
#include "migrate/collection_kind.h"
#include "migrate/run.h"
#include "util/dates.h"
#include "util/parsers.h"

namespace {
constexpr std::size_t summaryFields = 4;
constexpr const char* dateTimePattern = "%Y-%m-%d %H:%M:%S";
}  // namespace

std::optional<MigratedSpan> readMigratedSpan(const OlapMigrator& run, const CollectionKind& kind) {
    const QueryResult result =
        getClickHouseQueryResult(run.clickhouse, rangeSummarySql(kind.completedTable), run.host);
    if (result.fields.size() < summaryFields) return std::nullopt;

    MigratedSpan span;
    span.countText = result.fields[0];
    span.count = parseLeadingInt64(result.fields[0]);
    // server_time is in milliseconds; the decisions work in whole seconds.
    span.first = parseLeadingInt64(result.fields[1]) / 1000;
    span.last = parseLeadingInt64(result.fields[2]) / 1000;
    span.firstOid = removeNewlines(result.fields[3]);
    span.firstText = formatTime(span.first, dateTimePattern);
    span.lastText = formatTime(span.last, dateTimePattern);
    return span;
}

bool overlapsMigratedSpan(const MigratedSpan& span, std::int64_t start, std::int64_t end) {
    const auto within = [&span](std::int64_t second) {
        return span.first <= second && second <= span.last;
    };
    return within(start) || within(end) || (start <= span.first && end >= span.last);
}

#include "migrate/counters.h"

#include "exec/clickhouse_statements.h"
#include "exec/runners.h"
#include "util/log.h"
#include "util/parsers.h"

std::int32_t getMigrationCount(const OlapMigrator& run, const CollectionKind& kind,
                               std::string& stagingCount, std::string& completedCount) {
    const QueryResult result =
        getClickHouseQueryResult(run.clickhouse, migCountSql(kind.olapName), run.host);
    // Two counts or nothing: a reply cut short is as unreadable as none.
    if (result.fields.size() < 2) {
        LOG("Split String Error");
        LOG(kind.olapName, " staging and completed counts could not be read (",
            result.failed() ? result.failure() : "no two counts in the reply", ")");
        return -1;
    }
    stagingCount = removeNewlines(result.fields[0]);
    completedCount = removeNewlines(result.fields[1]);
    LOG("migration temp table count : ", stagingCount);
    LOG("migration completed table count : ", completedCount);
    return 0;
}

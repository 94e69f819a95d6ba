#include "migrate/clearing.h"

#include "exec/commands.h"
#include "exec/runners.h"
#include "util/log.h"

bool deleteOriginalTable(const OlapMigrator& run, const CollectionKind& kind,
                         const std::string& newest) {
    if (newest.empty()) {
        LOG(kind.name, " collection size is zero, so there is no data to delete");
        return true;
    }
    LOG(kind.name, " table data delete (", newest, " ~ old)");
    if (!executeClickHouseCommand(run.clickhouse, truncateSql(kind.completedTable), run.host)
             .succeeded())
        return false;
    return executeClickHouseCommand(
               run.clickhouse, deleteRangeSql(kind.olapName, kind.clearingTimeExpression, newest),
               run.host)
        .succeeded();
}

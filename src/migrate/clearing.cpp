#include "migrate/clearing.h"

#include "exec/commands.h"
#include "exec/runners.h"
#include "util/log.h"

bool deleteOriginalTable(const OlapMigrator& run, const CollectionKind& kind, const Clearing& clearing) {
    LOG(kind.name, " table data delete (", clearing.toTime, " ~ ", clearing.fromTime, ")");
    const CallStatus target = executeClickHouseCommand(
        run.clickhouse,
        deleteRangeSql(kind.olapName, kind.clearingTimeExpression, clearing.fromTime, clearing.toTime),
        run.host);
    if (target.failed()) {
        LOG(kind.name, " table data could not be deleted (", target.failure(), "), nothing was cleared");
        return false;
    }
    const CallStatus completed = executeClickHouseCommand(
        run.clickhouse, deleteCompletedSql(kind.completedTable, clearing.completed), run.host);
    if (completed.failed()) {
        LOG(kind.name, " table data could not be deleted from ", kind.completedTable, " (",
            completed.failure(), ") after its rows in ", kind.olapName,
            " were: it records rows that are gone, run retry -t ", kind.name, " again");
        return false;
    }
    return true;
}

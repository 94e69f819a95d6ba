#include "app/context.h"
#include "exec/commands.h"
#include "migrate/table_names.h"
#include "util/log.h"

namespace {
// Seconds since the epoch of each row of the target table: report rows are
// dated by create_time, all others by server_time in milliseconds.
std::string timeExpressionOf(const std::string& kind) {
    if (kind == "report") return "toUnixTimestamp(toDateTime(create_time, 'UTC'))";
    return "server_time/1000";
}
}  // namespace

bool OlapMigrator::deleteOriginalTable(const std::string& collection,
                                       const std::string& kind) const {
    const std::string newest = getCollectionEdgeTime(collection, -1);
    if (newest.empty()) {
        LOG(collection, " collection size is zero, so there is no data to delete");
        return true;
    }
    const std::string cutoff = getDataStr(newest);
    LOG(collection, " table data delete (", cutoff, " ~ old)");

    // Migrating on top of rows that are still there would double them, so
    // the first statement that fails ends the clearing and tells the caller.
    if (!executeClickHouseCommand(::truncateSql(completedTableName(collection))).succeeded())
        return false;
    return executeClickHouseCommand(
               ::deleteRangeSql(toOlapTableName(collection), timeExpressionOf(kind), cutoff))
        .succeeded();
}

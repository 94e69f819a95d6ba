#include "migrate/clearing.h"

#include "exec/commands.h"
#include "exec/runners.h"
#include "util/dates.h"
#include "util/log.h"

bool deleteOriginalTable(const OlapMigrator& run, const CollectionKind& kind,
                         const std::string& newest, std::optional<std::int64_t> above) {
    if (newest.empty()) {
        LOG(kind.name, " collection size is zero, so there is no data to delete");
        return true;
    }
    LOG(kind.name, " table data delete (", newest, " ~ old)");
    const std::string completed =
        above ? deleteCompletedAboveSql(kind.completedTable, makeObjectIdFromTime(*above))
              : truncateSql(kind.completedTable);
    const std::string target =
        above ? deleteRangeAboveSql(kind.olapName, kind.clearingTimeExpression, newest,
                                    formatTime(*above, "%Y-%m-%d %H:%M:%S"))
              : deleteRangeSql(kind.olapName, kind.clearingTimeExpression, newest);
    for (const std::string& statement : {completed, target}) {
        const CallStatus cleared = executeClickHouseCommand(run.clickhouse, statement, run.host);
        if (cleared.failed()) {
            LOG(kind.name, " table data could not be deleted (", cleared.failure(), ")");
            return false;
        }
    }
    return true;
}

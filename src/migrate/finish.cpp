#include "migrate/finish.h"

#include "exec/clickhouse_statements.h"
#include "exec/runners.h"
#include "migrate/counters.h"
#include "util/log.h"

bool finishMigratedCollection(const OlapMigrator& run, const CollectionKind& kind,
                              CollectionRecord& record) {
    if (kind.settleSeconds > 0) run.host.sleepFor(kind.settleSeconds);
    std::string stagingCount;
    std::string completedCount;
    if (getMigrationCount(run, kind, stagingCount, completedCount) == 0) {
        record.stagingCount = stagingCount;
        record.completedCount = completedCount;
    } else {
        record.countsUnreadable = true;
    }
    LOG_AS(kind.loggedAs, "-------------------------------------------------------------------");
    run.host.sleepFor(static_cast<unsigned>(run.parameters.waitTime));
    const CallStatus emptied =
        executeClickHouseCommand(run.clickhouse, truncateSql(kind.stagingTable), run.host);
    if (emptied.failed())
        LOG_AS(kind.loggedAs, kind.stagingTable, " could not be emptied (", emptied.failure(), ")");
    return !record.countsUnreadable && !emptied.failed();
}

#include "migrate/finish.h"

#include "exec/commands.h"
#include "exec/runners.h"
#include "migrate/counters.h"
#include "util/log.h"

void finishMigratedCollection(const OlapMigrator& run, const CollectionKind& kind,
                              CollectionRecord& record) {
    if (kind.settleSeconds > 0) run.host.sleepFor(kind.settleSeconds);
    std::string stagingCount;
    std::string completedCount;
    if (getMigrationCount(run, kind, stagingCount, completedCount) == 0) {
        record.stagingCount = stagingCount;
        record.completedCount = completedCount;
    }
    LOG_AS(kind.loggedAs, "-------------------------------------------------------------------");
    run.host.sleepFor(static_cast<unsigned>(run.parameters.waitTime));
    executeClickHouseCommand(run.clickhouse, truncateSql(kind.stagingTable), run.host);
}

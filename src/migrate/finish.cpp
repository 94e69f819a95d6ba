#include "migrate/finish.h"

#include "app/context.h"
#include "exec/commands.h"
#include "migrate/table_names.h"
#include "util/log.h"

void finishMigratedCollection(const OlapMigrator& migrator, std::string_view loggedAs,
                              unsigned settleSeconds, CollectionRecord& record) {
    const Host& host = migrator.host();
    if (settleSeconds > 0) host.sleepFor(settleSeconds);
    std::string stagingCount;
    std::string completedCount;
    if (migrator.getMigrationCount(record.name, stagingCount, completedCount) == 0) {
        record.stagingCount = stagingCount;
        record.completedCount = completedCount;
    }
    LOG_AS(loggedAs, "-------------------------------------------------------------------");
    host.sleepFor(static_cast<unsigned>(migrator.waitTime));
    migrator.executeClickHouseCommand(truncateSql(stagingTableName(record.name)));
}

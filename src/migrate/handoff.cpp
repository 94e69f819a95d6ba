#include "exec/commands.h"
#include "exec/runners.h"
#include "migrate/handoff.h"
#include "util/log.h"
#include "util/parsers.h"

std::string getLastSnowflakeId(const OlapMigrator& run) {
    const QueryResult result = getClickHouseQueryResult(run.clickhouse, snowflakeIdSql(), run.host);
    if (result.fields.empty()) {
        LOG("Split String Error");
        return "0";
    }
    return removeNewlines(result.fields.front());
}

void setLastsnowflakeId(const OlapMigrator& run) {
    const std::string id = getLastSnowflakeId(run);
    const ChildStatus status = run.host.run(snowflakeUpdateCommand(run.postgres, id));
    if (status.raw == 0) {
        LOG("PostgreSQL TB_OLAP_TABLE updated successfully. Last Snowflake ID: ", id);
    } else {
        LOG("Failed to update TB_OLAP_TABLE in PostgreSQL. Return code: ", status.raw);
    }
}

#include "migrate/handoff.h"

#include <algorithm>

#include "exec/clickhouse_statements.h"
#include "exec/postgres_commands.h"
#include "exec/runners.h"
#include "util/log.h"
#include "util/parsers.h"

std::optional<std::string> getLastSnowflakeId(const OlapMigrator& run) {
    const QueryResult result = getClickHouseQueryResult(run.clickhouse, snowflakeIdSql(), run.host);
    const std::string id = result.fields.empty() ? "" : removeNewlines(result.fields.front());
    // The ID goes into an SQL text, so it must be the number and nothing more.
    if (!id.empty() && std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return id;
    LOG("Split String Error");
    LOG("No Snowflake ID could be read from ClickHouse (", result.failure(),
        "), PostgreSQL left unchanged");
    return std::nullopt;
}

bool setLastsnowflakeId(const OlapMigrator& run) {
    const std::optional<std::string> id = getLastSnowflakeId(run);
    if (!id) return false;
    const ChildStatus status = run.host.run(snowflakeUpdateCommand(run.postgres, *id));
    if (status.raw == 0) {
        LOG("PostgreSQL TB_OLAP_TABLE updated successfully. Last Snowflake ID: ", *id);
        return true;
    }
    LOG("Failed to update TB_OLAP_TABLE in PostgreSQL. Return code: ", status.raw);
    return false;
}

// Hands the ClickHouse Snowflake ID of one minute before the run to the
// management server's PostgreSQL database.

#include "app/context.h"
#include "exec/commands.h"
#include "util/log.h"
#include "util/parsers.h"

std::string OlapMigrator::getLastSnowflakeId() const {
    const QueryResult result = getClickHouseQueryResult(snowflakeIdSql());
    if (result.fields.empty()) {
        LOG("Split String Error");
        return "0";
    }
    return removeNewlines(result.fields.front());
}

void OlapMigrator::setLastsnowflakeId(const std::string& host, const std::string& user,
                                      const std::string& password) const {
    const std::string id = getLastSnowflakeId();
    const ChildStatus status = host_.run(snowflakeUpdateCommand({host, user, password}, id));
    if (status.raw == 0) {
        LOG("PostgreSQL TB_OLAP_TABLE updated successfully. Last Snowflake ID: ", id);
    } else {
        LOG("Failed to update TB_OLAP_TABLE in PostgreSQL. Return code: ", status.raw);
    }
}

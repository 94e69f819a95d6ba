#include "util/catalogue.h"
#include "rig.h"

namespace qortest {

// The product's materialized views carry each staged JSON line on to a
// completed row and a target row; server_time is the ObjectId's time in
// milliseconds, and a report row is dated by create_time, else data_date.
std::string schemaSql() {
    const std::string oid = "JSONExtractString(line, '_id', '$oid')";
    const std::string serverTime = "toInt64(reinterpretAsUInt32(reverse(unhex(substring(oid, 1, 8))))) * 1000";
    const auto date = [](const std::string& field) {
        return "parseDateTime64BestEffortOrNull(JSONExtractString(line, '" + field + "', '$date'), 3, 'UTC'), ";
    };
    const std::string createTime = "toDateTime(coalesce(" + date("create_time") + date("data_date") +
                                   "toDateTime64(intDiv(server_time, 1000), 3, 'UTC')), 'UTC')";
    std::string sql = "CREATE TABLE mig_tb_preprocess_completed (completed_time DateTime64(3), table_name String) "
                      "ENGINE = MergeTree ORDER BY tuple();\n";
    for (const auto& entry : builtInCatalogue()) {
        for (const auto& [key, collections] : entry) {
            for (const std::string& collection : collections) {
                const bool report = key == "report";
                const std::string target = toOlapTableName(collection), staging = stagingTableName(collection);
                sql += "CREATE TABLE " + staging + " (line String) ENGINE = MergeTree ORDER BY tuple();\n"
                       "CREATE TABLE " + completedTableName(collection) + " (server_time Int64, oid String) "
                       "ENGINE = MergeTree ORDER BY (server_time, oid);\n"
                       "CREATE TABLE " + target + " (server_time Int64, oid String, document String" +
                       (report ? ", create_time DateTime('UTC')" : "") + ") ENGINE = MergeTree PARTITION BY "
                       "toYYYYMM(toDateTime(intDiv(server_time, 1000), 'UTC')) ORDER BY (server_time, oid);\n"
                       "CREATE MATERIALIZED VIEW " + staging + "_to_completed TO " + completedTableName(collection) +
                       " AS SELECT " + oid + " AS oid, " + serverTime + " AS server_time FROM " + staging + ";\n"
                       "CREATE MATERIALIZED VIEW " + staging + "_to_target TO " + target + " AS SELECT " + oid +
                       " AS oid, " + serverTime + " AS server_time, line AS document" +
                       (report ? ", " + createTime + " AS create_time" : "") + " FROM " + staging + ";\n";
            }
        }
    }
    return sql;
}

}  // namespace qortest

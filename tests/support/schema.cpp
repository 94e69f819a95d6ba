#include "schema.h"


#include "app/catalogue.h"
#include "migrate/table_names.h"

namespace qortest {
namespace {
// The product's materialized views: each staged JSON line becomes a completed
// row and a target row; server_time is the ObjectId's time in milliseconds.
const std::string oid = "JSONExtractString(line, '_id', '$oid')";
const std::string serverTime = "toInt64(reinterpretAsUInt32(reverse(unhex(substring(oid, 1, 8))))) * 1000";
// A report row is dated by create_time, else data_date, else its ObjectId.
const std::string createTime =
    "toDateTime(coalesce(parseDateTime64BestEffortOrNull(JSONExtractString(line, 'create_time', '$date'), 3, 'UTC'), "
    "parseDateTime64BestEffortOrNull(JSONExtractString(line, 'data_date', '$date'), 3, 'UTC'), "
    "toDateTime64(intDiv(server_time, 1000), 3, 'UTC')), 'UTC')";
}  // namespace

std::string schemaSql() {
    std::string sql =
        "CREATE TABLE mig_tb_preprocess_completed (completed_time DateTime64(3), table_name String) "
        "ENGINE = MergeTree ORDER BY tuple();\n";
    for (const auto& entry : builtInCatalogue()) {
        for (const auto& [key, collections] : entry) {
            for (const std::string& collection : collections) {
                const bool report = key == "report";
                const std::string target = toOlapTableName(collection);
                const std::string staging = stagingTableName(collection);
                const std::string completed = completedTableName(collection);
                sql += "CREATE TABLE " + staging + " (line String) ENGINE = MergeTree ORDER BY tuple();\n"
                       "CREATE TABLE " + completed + " (server_time Int64, oid String) "
                       "ENGINE = MergeTree ORDER BY (server_time, oid);\n"
                       "CREATE TABLE " + target + " (server_time Int64, oid String, document String" +
                       (report ? ", create_time DateTime('UTC')" : "") +
                       ") ENGINE = MergeTree PARTITION BY toYYYYMM(toDateTime(intDiv(server_time, 1000), 'UTC')) "
                       "ORDER BY (server_time, oid);\n"
                       "CREATE MATERIALIZED VIEW " + staging + "_to_completed TO " + completed + " AS SELECT " +
                       oid + " AS oid, " + serverTime + " AS server_time FROM " + staging + ";\n"
                       "CREATE MATERIALIZED VIEW " + staging + "_to_target TO " + target + " AS SELECT " + oid +
                       " AS oid, " + serverTime + " AS server_time, line AS document" +
                       (report ? ", " + createTime + " AS create_time" : "") + " FROM " + staging + ";\n";
            }
        }
    }
    return sql;
}
}  // namespace qortest

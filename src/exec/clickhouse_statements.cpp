#include "exec/clickhouse_statements.h"

#include "exec/id_fingerprint.h"
#include "exec/shell_quote.h"

// The fixed templates of a migration run's statements, filled by the
// composers below.
namespace templates {
inline constexpr std::string_view clickhouseCmd =
    "clickhouse-client -h %s --port=8820 -u %s --query=";
inline constexpr std::string_view insertLineSql = "INSERT INTO %s FORMAT LineAsString";
inline constexpr std::string_view truncateSql = "truncate table ";
inline constexpr std::string_view rangeSummarySql =
    "select count(), min(server_time), max(server_time), min(oid) from ";
inline constexpr std::string_view migCountSql =
    "select a.cnt, b.cnt from (SELECT count() as cnt FROM mig_%s) as a, "
    "(SELECT count() as cnt FROM mig_%s_completed) as b ";
inline constexpr std::string_view deleteRangeSql =
    "DELETE FROM %s WHERE %s <= toUnixTimestamp(toDateTime('%s', 'UTC'))";
inline constexpr std::string_view memoryTrackingSql =
    "select value from system.metrics where metric = 'MemoryTracking'";
}  // namespace templates

namespace {
constexpr std::string_view loadSettingSql = "SET max_partitions_per_insert_block = 500; ";
constexpr std::string_view preprocessRecordTemplate =
    "insert into mig_tb_preprocess_completed values (now64(), '%s')";

std::string oidCondition(const ObjectIdSpan& span) {
    std::string condition = "1";
    if (!span.lower.empty())
        condition += std::string(" and oid ") + (span.lowerExclusive ? ">" : ">=") + " '" + span.lower + "'";
    if (!span.upper.empty()) condition += " and oid <= '" + span.upper + "'";
    return condition;
}
}  // namespace

ShellCommand clickhouseCommand(const ClickHouseLogin& login, std::string_view sql) {
    return {fillTemplate(templates::clickhouseCmd,
                         {bareArgument(login.host), bareArgument(login.user)}) +
                "\"" + insideDoubleQuotes(sql) + "\"",
            {{"CLICKHOUSE_PASSWORD", login.password}}};
}

ShellCommand clickhouseLoadCommand(const ClickHouseLogin& login, std::string_view stagingTable) {
    return clickhouseCommand(login, std::string(loadSettingSql) +
                                        fillTemplate(templates::insertLineSql, {stagingTable}));
}

std::string rangeSummarySql(std::string_view completedTable) {
    return std::string(templates::rangeSummarySql) + std::string(completedTable);
}

std::string migCountSql(std::string_view olapName) {
    return fillTemplate(templates::migCountSql, {olapName, olapName});
}

namespace {
std::string retryMarkKey(std::string_view completedTable) { return "retry " + std::string(completedTable); }
}  // namespace

std::string completedSummarySql(std::string_view completedTable, const ObjectIdSpan& span) {
    return "select count(), sum(f), (select count() from mig_tb_preprocess_completed where table_name = '" +
           retryMarkKey(completedTable) + "') from (" +
           rowFingerprintsSql(std::string(completedTable) + " where " + oidCondition(span)) + ")";
}

std::string retryMarkSql(std::string_view completedTable) {
    return preprocessRecordSql(retryMarkKey(completedTable));
}

std::string retryUnmarkSql(std::string_view completedTable) {
    return "DELETE FROM mig_tb_preprocess_completed WHERE table_name = '" +
           retryMarkKey(completedTable) + "'";
}

std::string completedSummariesByPrefixSql(std::string_view completedTable, const ObjectIdSpan& span,
                                          std::size_t prefixLength,
                                          const std::vector<std::string>& parents) {
    std::string listed;
    for (const std::string& parent : parents) listed += (listed.empty() ? "'" : ", '") + parent + "'";
    const std::string length = std::to_string(prefixLength);
    return "select substring(oid, 1, " + length + "), count(), sum(f) from (" +
           rowFingerprintsSql(std::string(completedTable) + " where " + oidCondition(span) +
                              " and substring(oid, 1, " + std::to_string(parents.front().size()) + ") in (" +
                              listed + ")") +
           ") group by 1";
}

std::string completedOidsSql(std::string_view completedTable, const std::vector<ObjectIdSpan>& spans) {
    std::string condition;
    for (const ObjectIdSpan& span : spans)
        condition += (condition.empty() ? "(" : " or (") + oidCondition(span) + ")";
    return "select oid from " + std::string(completedTable) + " where " + condition +
           " order by oid desc";
}

std::string truncateSql(std::string_view table) {
    return std::string(templates::truncateSql) + std::string(table);
}

std::string deleteRangeSql(std::string_view table, std::string_view timeExpression,
                           std::string_view fromDateTime, std::string_view toDateTime) {
    return fillTemplate(templates::deleteRangeSql, {table, timeExpression, toDateTime}) + " AND " +
           std::string(timeExpression) + " >= toUnixTimestamp(toDateTime('" +
           std::string(fromDateTime) + "', 'UTC'))";
}

std::string deleteCompletedSql(std::string_view completedTable, const ObjectIdSpan& span) {
    return "DELETE FROM " + std::string(completedTable) + " WHERE " + oidCondition(span);
}

std::string memoryTrackingSql() { return std::string(templates::memoryTrackingSql); }

std::string snowflakeIdSql() {
    return "SELECT toString(dateTime64ToSnowflakeID(now64() - INTERVAL 1 MINUTE))";
}

std::string preprocessCheckSql() {
    return "select count() From mig_tb_preprocess_completed where table_name = "
           "'report_preprocess'";
}

std::string preprocessRecordSql(std::string_view key) {
    return fillTemplate(preprocessRecordTemplate, {key});
}

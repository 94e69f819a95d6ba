#include "app/context.h"

#include "exec/commands.h"

OlapMigrator::OlapMigrator(const std::string& nosqlIp, const std::string& nosqlUser,
                           const std::string& nosqlPasswd, const std::string& olapIp,
                           const std::string& olapUser, const std::string& olapPassword,
                           const std::string& startTime, const std::string& endTime,
                           const std::string& product, const std::string& table,
                           std::int32_t interval, const std::string& listFile,
                           std::int64_t diskLimit, std::int32_t memoryLimit,
                           std::int32_t retryMode, std::int32_t batchCount,
                           std::int32_t memoryLimitSet, std::int32_t waitTime, const Host& host)
    : nosqlIp(nosqlIp),
      nosqlUser(nosqlUser),
      nosqlPasswd(nosqlPasswd),
      olapIp(olapIp),
      olapUser(olapUser),
      olapPassword(olapPassword),
      listFile(listFile),
      startTime(startTime),
      endTime(endTime),
      product(product),
      table(table),
      interval(interval),
      retryMode(retryMode),
      batchCount(batchCount),
      memoryLimitSet(memoryLimitSet),
      memoryLimit(memoryLimit),
      waitTime(waitTime),
      diskLimit(diskLimit),
      startedAt(host.now()),
      exportFloorTime(startedAt - exportFloorSpan),
      mongoExportCmd(templates::mongoExportCmd),
      queryRangeOpt(templates::queryRangeOpt),
      queryUpperOpt(templates::queryUpperOpt),
      clickhouseCmd(templates::clickhouseCmd),
      insertLineSql(templates::insertLineSql),
      truncateSql(templates::truncateSql),
      rangeSummarySql(templates::rangeSummarySql),
      migCountSql(templates::migCountSql),
      deleteRangeSql(templates::deleteRangeSql),
      memoryTrackingSql(templates::memoryTrackingSql),
      host_(host) {}

QueryResult OlapMigrator::getClickHouseQueryResult(const std::string& sql) const {
    return ::getClickHouseQueryResult(clickHouseLogin(), sql, host_);
}

ChildStatus OlapMigrator::executeClickHouseCommand(const std::string& sql) const {
    return ::executeClickHouseCommand(clickHouseLogin(), sql, host_);
}

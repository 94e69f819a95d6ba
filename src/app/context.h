#pragma once
// The migration context of one "start" or "retry" run: connection values,
// run parameters, the moment the run began and the command templates. Every
// migration step is one of its operations; none changes a field.

#include <cstdint>
#include <string>

#include "exec/host.h"
#include "exec/logins.h"
#include "exec/runners.h"
#include "migrate/run_report.h"

class OlapMigrator {
public:
    OlapMigrator(const std::string& nosqlIp, const std::string& nosqlUser,
                 const std::string& nosqlPasswd, const std::string& olapIp,
                 const std::string& olapUser, const std::string& olapPassword,
                 const std::string& startTime, const std::string& endTime,
                 const std::string& product, const std::string& table, std::int32_t interval,
                 const std::string& listFile, std::int64_t diskLimit, std::int32_t memoryLimit,
                 std::int32_t retryMode, std::int32_t batchCount, std::int32_t memoryLimitSet,
                 std::int32_t waitTime, const Host& host = realHost());
    OlapMigrator(const OlapMigrator&) = delete;
    OlapMigrator& operator=(const OlapMigrator&) = delete;

    // Runners bound to this run's ClickHouse login.
    QueryResult getClickHouseQueryResult(const std::string& sql) const;
    ChildStatus executeClickHouseCommand(const std::string& sql) const;

    // The two migration passes.
    void generalTableMigration() const;
    void reportTableMigration() const;

    // Moving data.
    bool executeMigrationCommand(const std::string& collection, const std::string& upper,
                                 const std::string& lower) const;
    std::int32_t exportObjectIdList(const std::string& collection, const std::string& lower,
                                    const std::string& upper) const;
    bool tb_base_report_data_migration(const std::string& collection) const;

    // Reading what is there.
    std::int32_t getMigrationCount(const std::string& collection, std::string& stagingCount,
                                   std::string& completedCount) const;
    std::string getCollectionEdgeTime(const std::string& collection, std::int32_t direction) const;

    // Guards, clearing, preprocessing, hand-off.
    void checkClickHouseMemory() const;
    bool deleteOriginalTable(const std::string& collection, const std::string& kind) const;
    void executeReportTypePreprocessCommand() const;
    std::string getLastSnowflakeId() const;
    void setLastsnowflakeId(const std::string& host, const std::string& user,
                            const std::string& password) const;

    MongoLogin mongoLogin() const { return {nosqlIp, nosqlUser, nosqlPasswd}; }
    ClickHouseLogin clickHouseLogin() const { return {olapIp, olapUser, olapPassword}; }
    const Host& host() const { return host_; }
    RunReport& runReport() const { return report_; }

    const std::string nosqlIp;
    const std::string nosqlUser;
    const std::string nosqlPasswd;
    const std::string olapIp;
    const std::string olapUser;
    const std::string olapPassword;
    const std::string listFile;
    const std::string startTime;
    const std::string endTime;
    const std::string product;
    const std::string table;
    const std::int32_t interval;
    const std::int32_t retryMode;
    const std::int32_t batchCount;
    const std::int32_t memoryLimitSet;
    const std::int32_t memoryLimit;
    const std::int32_t waitTime;
    const std::int64_t diskLimit;
    const std::int64_t startedAt;
    const std::int64_t exportFloorTime;
    const std::string mongoExportCmd;
    const std::string queryRangeOpt;
    const std::string queryUpperOpt;
    const std::string clickhouseCmd;
    const std::string insertLineSql;
    const std::string truncateSql;
    const std::string rangeSummarySql;
    const std::string migCountSql;
    const std::string deleteRangeSql;
    const std::string memoryTrackingSql;

private:
    Host host_;
    // What happened to each collection: the record of the run, not a
    // setting of it, so the passes may add to it.
    mutable RunReport report_;
    // Whether this run wrote the preprocessing's bookkeeping row: known to
    // the run itself even when the row cannot be read back.
    mutable bool preprocessRecordedThisRun_ = false;
};

// exportFloorTime lies exactly 732 days before the start of the run.
inline constexpr std::int64_t exportFloorSpan = 63'244'800;

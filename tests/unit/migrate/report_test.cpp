#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "pass_fixture.h"
#include "scoped_environment.h"
#include "scratch_directory.h"
#include "util/dates.h"

namespace {
using Lines = std::vector<std::string>;

const std::string pass = "reportTableMigration";

// Summary rows of a completed table: count, first and last server_time in
// milliseconds, smallest oid.
const std::string nothingMigrated = "0\t0\t0\t\n";
// 2024-02-01 00:00:00 to 2024-03-31 23:59:59, oldest oid of 2024-02-01.
const std::string migratedFebToMarch =
    "1500\t1706745600000\t1711929599000\t65badf000000000000000001\n";

std::string createTime(const char* iso) { return "[ { create_time: ISODate('" + std::string(iso) + "') } ]\n"; }
std::string oldestId(const std::string& oid) { return "[ { _id: ObjectId('" + oid + "') } ]\n"; }

std::string rangeQuery(const std::string& upper, const std::string& lower) {
    return "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"" + upper +
           "\" }, \"$gte\": { \"$oid\": \"" + lower + "\" } } }'";
}
std::int64_t at(const char* dateTime) { return convertToTimestamp(dateTime); }

class ReportTableMigration : public PassFixture {
protected:
    ReportTableMigration()
        : PassFixture(&OlapMigrator::reportTableMigration,
                      {{{"qor", {"tb_audit_log"}}}, {{"report", {"tb_report_data"}}}}) {}
    void SetUp() override {
        PassFixture::SetUp();
        std::filesystem::create_directory(root.path() + "/tmp");
        fake.answer("where table_name = 'report_preprocess'", "1\n");
    }

    void timeField(const std::string& collection, const std::string& field, int direction,
                   const std::string& reply) {
        fake.answer("db." + collection + ".find({}, {" + field + ": 1, _id: 0}).sort({" + field +
                        ": " + std::to_string(direction) + "})",
                    reply);
    }
    // The two-day collection of the operator guide: 2024-03-01 10:00 to 2024-03-02 08:00.
    void twoDaysOfReportData(const std::string& migrated = nothingMigrated) {
        summary("tb_report_data", migrated);
        oldest("tb_report_data", oldestId("65e1a7200000000000000000"));
        timeField("tb_report_data", "create_time", 1, createTime("2024-03-01T10:00:00.000Z"));
        timeField("tb_report_data", "create_time", -1, createTime("2024-03-02T08:00:00.000Z"));
    }
    Outcome onlyOutcome() const {
        EXPECT_EQ(records().size(), 1u);
        return records().empty() ? Outcome::failed : records()[0].outcome;
    }

    ScratchDirectory root;
    ScopedEnvironment rooted{"QOROLAPMIGRATE_ROOT", root.path()};
};

TEST_F(ReportTableMigration, DayWindowsCoverTheWholeDataRange) {
    twoDaysOfReportData();
    TestRun parameters;
    parameters.waitTime = 5;
    const Lines lines = messages(parameters);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[1], "tb_report_data collection mongodb data range : 2024-03-02 23:59:59 ~ 2024-03-01 00:00:00");
    EXPECT_EQ(lines[2], "migration table : 2024-03-02 23:59:59  ~ 2024-03-02 00:00:00");
    EXPECT_EQ(lines[8], "migration table : tb_report_data, range : 2024-03-02 23:59:59 ~  ALL");
    ASSERT_EQ(pipelines().size(), 2u);
    EXPECT_NE(pipelines()[0].find(rangeQuery(makeLastObjectIdOfTime(at("2024-03-02 23:59:59")),
                                             makeObjectIdFromTime(at("2024-03-02 00:00:00")))),
              std::string::npos)
        << pipelines()[0];
    EXPECT_NE(pipelines()[1].find(rangeQuery("65e26bffffffffffffffffff", "65e11a800000000000000000")),
              std::string::npos)
        << pipelines()[1];
    EXPECT_NE(pipelines()[0].find("INSERT INTO mig_tb_report_data FORMAT LineAsString"),
              std::string::npos);
    // The count follows the last load at once; only the wait time is slept.
    EXPECT_EQ(fake.sleeps(), (std::vector<unsigned>{5}));
    EXPECT_EQ(fake.commands().back(), "clickhouse-client -h ch.test --port=8820 -u cuser "
                                      "--password='cpass' --query=\"truncate table mig_tb_report_data\"");
    EXPECT_EQ(onlyOutcome(), Outcome::migrated);
    EXPECT_EQ(records()[0].completedCount, "40");
    EXPECT_EQ(records()[0].seconds, 5);
}

TEST_F(ReportTableMigration, TheIntervalDecidesTheWindows) {
    twoDaysOfReportData();
    TestRun parameters;
    parameters.interval = 48;
    messages(parameters);
    ASSERT_EQ(pipelines().size(), 1u);
    EXPECT_NE(pipelines()[0].find(rangeQuery("65e3bd7fffffffffffffffff", "65e11a800000000000000000")),
              std::string::npos);
}

TEST_F(ReportTableMigration, FailedWindowFailsTheCollectionButTheOthersStillMove) {
    twoDaysOfReportData();
    fake.pipelineEnds(makeLastObjectIdOfTime(at("2024-03-02 23:59:59")), 1, 0);
    const Lines lines = messages();
    EXPECT_EQ(lines[5], "tb_report_data table migration failed (mongoexport exit 1, clickhouse-client exit 0)");
    EXPECT_EQ(pipelines().size(), 2u);
    EXPECT_EQ(fake.commandsContaining("truncate table mig_tb_report_data\"").size(), 1u);
    EXPECT_EQ(onlyOutcome(), Outcome::failed);
}

TEST_F(ReportTableMigration, MigratedDataReachingTheOldestDocumentIsComplete) {
    twoDaysOfReportData("1500\t1709251200000\t1709366400000\t65e1a7200000000000000000\n");
    EXPECT_EQ(messages(),
              (Lines{"Disk Usage : 50%",
                     "tb_report_data collection mongodb data range : 2024-03-02 23:59:59 ~ 2024-03-01 00:00:00",
                     "tb_report_data collection all migrations were processed successfull ", ""}));
    EXPECT_TRUE(pipelines().empty());
    EXPECT_TRUE(fake.commandsContaining("truncate").empty());
    EXPECT_EQ(onlyOutcome(), Outcome::complete);
}

TEST_F(ReportTableMigration, MigratedDataShortOfTheOldestDocumentIsAWarning) {
    twoDaysOfReportData(migratedFebToMarch);
    EXPECT_EQ(messages(),
              (Lines{"Disk Usage : 50%",
                     "tb_report_data collection mongodb data range : 2024-03-02 23:59:59 ~ 2024-03-01 00:00:00",
                     "[WARN] tb_report_data collection already migrated data. (2024-03-31 23:59:59 ~ "
                     "2024-02-01 00:00:00, Count : 1500)",
                     "[WARN] The migrated data and mongo db data are different. ", ""}));
    EXPECT_TRUE(pipelines().empty());
    EXPECT_EQ(onlyOutcome(), Outcome::differs);
}

TEST_F(ReportTableMigration, RetryClearsByCreateTimeAndMigratesAgain) {
    twoDaysOfReportData(migratedFebToMarch);
    TestRun parameters;
    parameters.retryMode = 1;
    const Lines lines = messages(parameters);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "tb_report_data table data delete (2024-03-02 08:00:00 ~ old)");
    EXPECT_EQ(fake.commandsContaining("truncate table mig_tb_report_data_completed").size(), 1u);
    EXPECT_EQ(fake.commandsContaining("DELETE FROM tb_report_data WHERE toUnixTimestamp(toDateTime("
                                      "create_time, 'UTC')) <= toUnixTimestamp(toDateTime('2024-03-02 "
                                      "08:00:00', 'UTC'))")
                  .size(),
              1u);
    EXPECT_EQ(pipelines().size(), 2u);
    EXPECT_EQ(onlyOutcome(), Outcome::migratedAfterClearing);
}

TEST_F(ReportTableMigration, RetryThatCannotClearMovesNothing) {
    twoDaysOfReportData(migratedFebToMarch);
    fake.answer("truncate table mig_tb_report_data_completed", "", 4);
    TestRun parameters;
    parameters.retryMode = 1;
    const Lines lines = messages(parameters);
    EXPECT_EQ(lines.back(), "tb_report_data previous data could not be cleared, migration skipped");
    EXPECT_TRUE(pipelines().empty());
    EXPECT_EQ(onlyOutcome(), Outcome::failed);
}

TEST_F(ReportTableMigration, EmptyCollectionIsLeftAloneEvenOnRetry) {
    summary("tb_report_data", migratedFebToMarch);
    for (const std::int32_t retryMode : {0, 1}) {
        SCOPED_TRACE(retryMode);
        TestRun parameters;
        parameters.retryMode = retryMode;
        EXPECT_EQ(messages(parameters),
                  (Lines{"Disk Usage : 50%", "tb_report_data collection size is zero. continue", ""}));
        EXPECT_EQ(onlyOutcome(), Outcome::empty);
    }
    EXPECT_TRUE(fake.commandsContaining("truncate").empty());
    EXPECT_TRUE(fake.commandsContaining("DELETE").empty());
    EXPECT_TRUE(pipelines().empty());
}

TEST_F(ReportTableMigration, MissingTimeValuesMoveNothing) {
    summary("tb_report_data", nothingMigrated);
    oldest("tb_report_data", oldestId("65e1a7200000000000000000"));
    EXPECT_EQ(messages().back(), "tb_report_data collection is no data to migrate. ");
    EXPECT_EQ(onlyOutcome(), Outcome::empty);

    timeField("tb_report_data", "create_time", 1, createTime("2024-03-01T10:00:00.000Z"));
    EXPECT_EQ(messages().back(), "tb_report_data collection is no data to migrate. ");
    EXPECT_EQ(fake.commandsContaining("sort({create_time: -1})").size(), 1u);
    EXPECT_TRUE(pipelines().empty());
}

TEST_F(ReportTableMigration, UnreadableStateSkipsOrStopsTheRun) {
    EXPECT_EQ(run(), (std::vector<LoggedLine>{{"diskUsageExceedCheck", "Disk Usage : 50%"},
                                              {"getClickHouseQueryResult", "Split String Error"},
                                              {pass, "Split String Error"}}));
    EXPECT_EQ(onlyOutcome(), Outcome::failed);

    summary("tb_report_data", "0\t0\n");
    EXPECT_EQ(messages().back(), "Split String Error");
    EXPECT_TRUE(fake.commandsContaining("mongosh").empty());

    summary("tb_report_data", "Code: 60\tx\ty\tz\n");
    EXPECT_THROW(run(), std::invalid_argument);
}

TEST_F(ReportTableMigration, DateRangeBeforeTheMigratedSpanMovesDayWindows) {
    summary("tb_report_data", migratedFebToMarch);
    oldest("tb_report_data", oldestId("65e1a7200000000000000000"));
    TestRun parameters;
    parameters.startTime = "2024-01-01";
    parameters.endTime = "2024-01-31";
    const Lines lines = messages(parameters);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "[NOTI] tb_report_data table already migrated data. (2024-03-31 23:59:59 ~ "
                        "2024-02-01 00:00:00, Count : 1500)");
    ASSERT_EQ(pipelines().size(), 31u);
    EXPECT_NE(pipelines().back().find(rangeQuery(makeLastObjectIdOfTime(at("2024-01-01 23:59:59")),
                                                 makeObjectIdFromTime(at("2024-01-01 00:00:00")))),
              std::string::npos);
    // A date range needs no time values from MongoDB.
    EXPECT_TRUE(fake.commandsContaining("create_time").empty());
    EXPECT_EQ(onlyOutcome(), Outcome::migrated);
}

TEST_F(ReportTableMigration, DateRangeOverlappingTheMigratedSpanIsSkippedEvenOnRetry) {
    summary("tb_report_data", migratedFebToMarch);
    oldest("tb_report_data", oldestId("65e1a7200000000000000000"));
    TestRun parameters;
    parameters.startTime = "2024-01-15";
    parameters.endTime = "2024-02-15";
    parameters.retryMode = 1;
    EXPECT_EQ(messages(parameters),
              (Lines{"Disk Usage : 50%",
                     "[NOTI] tb_report_data table already migrated data. (2024-03-31 23:59:59 ~ "
                     "2024-02-01 00:00:00, Count : 1500)",
                     "tb_report_data table already migrated data. skip (input date : 2024-02-15 "
                     "23:59:59 ~ 2024-01-15 00:00:00)"}));
    EXPECT_TRUE(fake.commandsContaining("truncate").empty());
    EXPECT_EQ(onlyOutcome(), Outcome::skippedOverlap);
}

class BaseReportData : public ReportTableMigration {
protected:
    void SetUp() override {
        ReportTableMigration::SetUp();
        migrationList = {{{"report", {"tb_base_report_data"}}}};
        summary("tb_base_report_data", nothingMigrated);
        oldest("tb_base_report_data", oldestId("65e1a7200000000000000000"));
        timeField("tb_base_report_data", "data_date", 1, "[ { data_date: ISODate('2024-03-01T00:00:00.000Z') } ]\n");
        timeField("tb_base_report_data", "data_date", -1, "[ { data_date: ISODate('2024-03-02T00:00:00.000Z') } ]\n");
    }
    // What the exporter would leave in the work file: three ids, newest first.
    void exportedIds() {
        root.write("tmp/oid_temp.txt", "{\"_id\":{\"$oid\":\"65e26bff0000000000000003\"}}\n"
                                       "{\"_id\":{\"$oid\":\"65e1a7200000000000000002\"}}\n"
                                       "{\"_id\":{\"$oid\":\"65e11a800000000000000001\"}}\n");
    }
};

TEST_F(BaseReportData, WholeCollectionLoadsTheLast732DaysThroughTheList) {
    exportedIds();
    TestRun parameters;
    parameters.batchCount = 2;
    const Lines lines = messages(parameters);
    ASSERT_EQ(lines.size(), 12u);
    // The whole collection means the last 732 days before the clock.
    EXPECT_EQ(lines[2], "migration table : tb_base_report_data, range : 2025-01-01 00:00:00 ~ "
                        "2022-12-31 00:00:00");
    EXPECT_EQ(lines[5], "OID : 65e1a7200000000000000002 ~ 65e26bff0000000000000003 migration completed");
    EXPECT_EQ(lines[8], "OID : 65e11a800000000000000001 ~ 65e11a800000000000000001 migration completed");
    ASSERT_EQ(fake.commandsContaining("--fields _id").size(), 1u);
    EXPECT_NE(fake.commandsContaining("--fields _id")[0].find(
                  "{ \"_id\": {  \"$gt\": { \"$oid\": \"63af7b800000000000000000\" } } }"),
              std::string::npos);
    EXPECT_EQ(fake.commandsContaining("sort({data_date: -1})").size(), 1u);
    EXPECT_FALSE(fileExists(root.path() + "/tmp/oid_list.txt"));
    EXPECT_EQ(onlyOutcome(), Outcome::migrated);
}

TEST_F(BaseReportData, DateRangeListTakesInTheWholeLastSecond) {
    exportedIds();
    TestRun parameters;
    parameters.startTime = "2024-03-01";
    parameters.endTime = "2024-03-02";
    const Lines lines = messages(parameters);
    EXPECT_EQ(lines[1], "migration table : tb_base_report_data, range : 2024-03-02 23:59:59 ~ "
                        "2024-03-01 00:00:00");
    ASSERT_EQ(fake.commandsContaining("--fields _id").size(), 1u);
    EXPECT_NE(fake.commandsContaining("--fields _id")[0].find(
                  "{ \"_id\": { \"$lte\": { \"$oid\": \"65e3bd7fffffffffffffffff\" }, \"$gte\": { "
                  "\"$oid\": \"65e11a800000000000000000\" } } }"),
              std::string::npos);
    EXPECT_EQ(pipelines().size(), 2u);
    EXPECT_EQ(onlyOutcome(), Outcome::migrated);
}

TEST_F(BaseReportData, EmptyListEndsQuietlyButAnUnwritableOneFails) {
    const Lines quiet = messages();
    EXPECT_EQ(quiet.back(), "tb_base_report_data collection mongodb data range : 2024-03-02 "
                            "23:59:59 ~ 2024-03-01 00:00:00");
    EXPECT_EQ(pipelines().size(), 1u);
    EXPECT_TRUE(fake.commandsContaining("truncate").empty());
    EXPECT_EQ(onlyOutcome(), Outcome::empty);

    std::filesystem::remove_all(root.path() + "/tmp");
    EXPECT_EQ(messages().back(), "Cannot write the work file " + root.path() + "/tmp/oid_temp.txt");
    EXPECT_EQ(onlyOutcome(), Outcome::failed);
}

TEST_F(ReportTableMigration, SelectionAndPreprocessingBeforeEachCollection) {
    migrationList = {{{"qor", {"tb_audit_log"}}},
                     {{"report", {"tb_report_status", "tb_report_data"}}}};
    fake.answerInTurn("where table_name = 'report_preprocess'", {{"0\n"}, {"1\n"}});
    for (const char* name : {"tb_report_status", "tb_report_data"}) summary(name, nothingMigrated);

    TestRun parameters;
    parameters.table = "tb_audit_log";
    EXPECT_TRUE(run(parameters).empty());
    EXPECT_TRUE(fake.commands().empty());
    EXPECT_TRUE(records().empty());

    parameters.table = "tb_report_status";
    parameters.product = "report";
    const Lines lines = messages(parameters);
    // The conversions run before the first report collection, even one they do not touch.
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[0], "tb_report_data collection type preprocessing start");
    EXPECT_EQ(lines[6], "Disk Usage : 50%");
    EXPECT_EQ(lines[lines.size() - 2], "tb_report_status collection size is zero. continue");
    EXPECT_TRUE(fake.commandsContaining("mig_tb_report_data_completed").empty());

    parameters.table.clear();
    messages(parameters);
    EXPECT_EQ(fake.commandsContaining("where table_name = 'report_preprocess'").size(), 3u);
    EXPECT_EQ(fake.commandsContaining("updateMany").size(), 3u);
    EXPECT_EQ(records().size(), 2u);
}
}  // namespace

#include <gtest/gtest.h>

#include "app/catalogue.h"
#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

namespace {
using Lines = std::vector<std::string>;

const std::string separator(67, '-');
const std::string clickhouse =
    "clickhouse-client -h ch.test --port=8820 -u cuser --password='cpass' --query=";
const std::string mongosh = "mongosh mongo.test:8825/qornosql -u muser -p mpass --quiet --eval ";
const std::string exportAudit =
    "mongoexport --host mongo.test:8825 --collection=tb_audit_log --db=qornosql -u muser -p "
    "mpass --authenticationDatabase qornosql --sort='{ \"_id\": -1 }' ";
const std::string loadAudit =
    clickhouse +
    "\"SET max_partitions_per_insert_block = 500; INSERT INTO mig_tb_audit_log FORMAT "
    "LineAsString\"";
const std::string oldestAudit = "[ { _id: ObjectId('659200800000000000000000') } ]\n";

// Summary rows of a completed table: count, first and last server_time in
// milliseconds, smallest oid.
const std::string nothingMigrated = "0\t0\t0\t\n";
// 2024-01-01 00:00:00 to 2024-01-09 23:59:59.
const std::string migratedUpToJan9 =
    "1500\t1704067200000\t1704844799999\t659200800000000000000000\n";
// 2024-01-01 00:00:00 to 2024-01-10 00:00:00.
const std::string migratedUpToJan10 =
    "1500\t1704067200000\t1704844800000\t659200800000000000000000\n";

class GeneralTableMigration : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = migrationList;
        migrationList = {{{"qor", {"tb_audit_log"}}}};
        fake.fileSystem = FileSystemFigures{1000, 4096, 500, 400};
        fake.answer("SELECT count() as cnt", "40\t40\n");
    }
    void TearDown() override { migrationList = saved_; }

    void summary(const std::string& collection, const std::string& reply) {
        fake.answer("min(oid) from mig_" + collection + "_completed\"", reply);
    }
    void oldest(const std::string& collection, const std::string& reply) {
        fake.answer("db." + collection + ".find({}, {_id: 1}).sort({_id: 1})", reply);
    }

    // Runs the pass and hands back every line it printed.
    std::vector<LoggedLine> pass(const TestRun& run = {}) {
        migrator_ = makeTestMigrator(fake, run);
        StdoutCapture out;
        migrator_->generalTableMigration();
        return out.lines();
    }
    Lines messages(const TestRun& run = {}) {
        Lines texts;
        for (const LoggedLine& line : pass(run)) texts.push_back(line.message);
        return texts;
    }
    std::vector<Outcome> outcomes() const {
        std::vector<Outcome> found;
        for (const CollectionRecord& r : migrator_->runReport().records())
            found.push_back(r.outcome);
        return found;
    }
    const std::vector<CollectionRecord>& records() const {
        return migrator_->runReport().records();
    }
    std::vector<std::string> pipelines() const { return fake.commandsContaining("mongoexport"); }

    FakeHost fake;

private:
    ProductCatalogue saved_;
    std::unique_ptr<OlapMigrator> migrator_;
};

TEST_F(GeneralTableMigration, NothingMigratedYetMovesTheWholeCollection) {
    summary("tb_audit_log", nothingMigrated);
    oldest("tb_audit_log", oldestAudit);
    TestRun run;
    run.waitTime = 5;
    const std::vector<LoggedLine> lines = pass(run);
    EXPECT_EQ(lines, (std::vector<LoggedLine>{
                         {"diskUsageExceedCheck", "Disk Usage : 50%"},
                         {"generalTableMigration", "migration table : tb_audit_log, range : ALL"},
                         {"executeMigrationCommand", "tb_audit_log table migration start"},
                         {"executeMigrationCommand", "tb_audit_log table migration end"},
                         {"generalTableMigration",
                          "migration table : tb_audit_log, range :  ~  ALL"},
                         {"getMigrationCount", "migration temp table count : 40"},
                         {"getMigrationCount", "migration completed table count : 40"},
                         {"generalTableMigration", separator}}));
    EXPECT_EQ(fake.commands(),
              (Lines{clickhouse + "\"select count(), min(server_time), max(server_time), "
                                  "min(oid) from mig_tb_audit_log_completed\"",
                     mongosh + "\"db.tb_audit_log.find({}, {_id: 1}).sort({_id: 1}).limit(1)\"",
                     exportAudit + " | " + loadAudit,
                     clickhouse + "\"select a.cnt, b.cnt from (SELECT count() as cnt FROM "
                                  "mig_tb_audit_log) as a, (SELECT count() as cnt FROM "
                                  "mig_tb_audit_log_completed) as b \"",
                     clickhouse + "\"truncate table mig_tb_audit_log\""}));
    EXPECT_EQ(fake.sleeps(), (std::vector<unsigned>{2, 5}));
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(records()[0].name, "tb_audit_log");
    EXPECT_EQ(records()[0].outcome, Outcome::migrated);
    EXPECT_EQ(records()[0].completedCount, "40");
    EXPECT_EQ(records()[0].seconds, 7);
}

TEST_F(GeneralTableMigration, MigratedDataReachingTheOldestDocumentIsComplete) {
    summary("tb_audit_log", migratedUpToJan9);
    oldest("tb_audit_log", oldestAudit);
    EXPECT_EQ(messages(),
              (Lines{"Disk Usage : 50%", "migration table : tb_audit_log, range : ALL",
                     "tb_audit_log collection all migrations were processed successfully ", ""}));
    EXPECT_TRUE(pipelines().empty());
    EXPECT_TRUE(fake.commandsContaining("truncate").empty());
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::complete});
}

TEST_F(GeneralTableMigration, ANonZeroCountWithoutASmallestOidCountsAsComplete) {
    summary("tb_audit_log", "3\t1704067200000\t1704844799999\t\n");
    oldest("tb_audit_log", oldestAudit);
    messages();
    EXPECT_TRUE(pipelines().empty());
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::complete});
}

TEST_F(GeneralTableMigration, MigratedDataNotReachingTheOldestDocumentIsOnlyWarnedAbout) {
    summary("tb_audit_log", migratedUpToJan9);
    oldest("tb_audit_log", "[ { _id: ObjectId('658f5d800000000000000000') } ]\n");
    EXPECT_EQ(messages(),
              (Lines{"Disk Usage : 50%", "migration table : tb_audit_log, range : ALL",
                     "[WARN] tb_audit_log collection already migrated data. (2024-01-09 23:59:59 "
                     "~ 2024-01-01 00:00:00, Count : 1500)",
                     "[WARN] The migrated data and mongo db data are different. ", ""}));
    EXPECT_TRUE(pipelines().empty());
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::differs});
}

TEST_F(GeneralTableMigration, ARangeStartingOnTheLastMigratedSecondIsSkipped) {
    summary("tb_audit_log", migratedUpToJan10);
    oldest("tb_audit_log", oldestAudit);
    TestRun run;
    run.startTime = "2024-01-10";
    run.endTime = "2024-01-12";
    EXPECT_EQ(messages(run),
              (Lines{"Disk Usage : 50%",
                     "[NOTI] tb_audit_log table already migrated data. (2024-01-10 00:00:00 ~ "
                     "2024-01-01 00:00:00, Count : 1500)",
                     "tb_audit_log table already migrated data. skip (input date : 2024-01-12 "
                     "23:59:59 ~ 2024-01-10 00:00:00)"}));
    EXPECT_TRUE(pipelines().empty());
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::skippedOverlap});
}

TEST_F(GeneralTableMigration, ARangeOneSecondAfterTheMigratedDataTakesInItsWholeLastSecond) {
    summary("tb_audit_log", migratedUpToJan9);
    oldest("tb_audit_log", oldestAudit);
    TestRun run;
    run.startTime = "2024-01-10";
    run.endTime = "2024-01-12";
    run.retryMode = 1;  // a range is never cleared, retry or not
    EXPECT_EQ(messages(run),
              (Lines{"Disk Usage : 50%",
                     "[NOTI] tb_audit_log table already migrated data. (2024-01-09 23:59:59 ~ "
                     "2024-01-01 00:00:00, Count : 1500)",
                     "migration table : tb_audit_log, range : 2024-01-12 23:59:59 ~ 2024-01-10 "
                     "00:00:00",
                     "tb_audit_log table migration start", "tb_audit_log table migration end",
                     "migration temp table count : 40", "migration completed table count : 40",
                     separator}));
    EXPECT_EQ(pipelines(),
              Lines{exportAudit +
                    "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"65a1d27fffffffffffffffff\" }, "
                    "\"$gte\": { \"$oid\": \"659dde000000000000000000\" } } }' | " + loadAudit});
    EXPECT_TRUE(fake.commandsContaining("DELETE").empty());
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::migrated});
}

TEST_F(GeneralTableMigration, ARangeEndingBeforeTheMigratedDataMigratesAndOneTouchingItIsSkipped) {
    // Migrated from 2024-01-13 00:00:00 on.
    summary("tb_audit_log", "10\t1705104000000\t1705276800000\t65a1d2800000000000000000\n");
    oldest("tb_audit_log", oldestAudit);
    TestRun before;
    before.startTime = "2024-01-10";
    before.endTime = "2024-01-12";
    messages(before);
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::migrated});

    summary("tb_audit_log", "10\t1705103999000\t1705276800000\t65a1d27f0000000000000000\n");
    messages(before);
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::skippedOverlap});
    EXPECT_EQ(pipelines().size(), 1u);
}

TEST_F(GeneralTableMigration, ARangeWithNothingMigratedHasNoNotice) {
    summary("tb_audit_log", nothingMigrated);
    oldest("tb_audit_log", oldestAudit);
    TestRun run;
    run.startTime = "2024-01-01";
    run.endTime = "2024-01-01";
    const Lines texts = messages(run);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[1],
              "migration table : tb_audit_log, range : 2024-01-01 23:59:59 ~ 2024-01-01 00:00:00");
    EXPECT_EQ(pipelines(),
              Lines{exportAudit +
                    "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"659351ffffffffffffffffff\" }, "
                    "\"$gte\": { \"$oid\": \"659200800000000000000000\" } } }' | " + loadAudit});
}

TEST_F(GeneralTableMigration, AnEmptyCollectionIsPassedOver) {
    summary("tb_audit_log", nothingMigrated);
    TestRun run;
    run.retryMode = 1;
    EXPECT_EQ(messages(run),
              (Lines{"Disk Usage : 50%", "tb_audit_log collection size is zero. continue", ""}));
    EXPECT_TRUE(pipelines().empty());
    EXPECT_TRUE(fake.commandsContaining("truncate").empty());
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::empty});
}

TEST_F(GeneralTableMigration, RetryClearsThenMigratesTheWholeCollection) {
    summary("tb_audit_log", migratedUpToJan9);
    oldest("tb_audit_log", oldestAudit);
    fake.answer("sort({ _id: -1 })", "ISODate('2024-03-05T10:20:30.000Z')\n");
    TestRun run;
    run.retryMode = 1;
    EXPECT_EQ(messages(run),
              (Lines{"Disk Usage : 50%", "migration table : tb_audit_log, range : ALL",
                     "tb_audit_log table data delete (2024-03-05 10:20:30 ~ old)",
                     "tb_audit_log table migration start", "tb_audit_log table migration end",
                     "migration table : tb_audit_log, range :  ~  ALL",
                     "migration temp table count : 40", "migration completed table count : 40",
                     separator}));
    const Lines& commands = fake.commands();
    ASSERT_EQ(commands.size(), 8u);
    EXPECT_EQ(commands[3], clickhouse + "\"truncate table mig_tb_audit_log_completed\"");
    EXPECT_EQ(commands[4], clickhouse + "\"DELETE FROM tb_audit_log WHERE server_time/1000 <= "
                                        "toUnixTimestamp(toDateTime('2024-03-05 10:20:30', "
                                        "'UTC'))\"");
    EXPECT_EQ(commands[5], exportAudit + " | " + loadAudit);
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::migratedAfterClearing});
}

TEST_F(GeneralTableMigration, RetryWhoseClearingFailsMovesNothingAndGoesOn) {
    migrationList = {{{"qor", {"tb_audit_log"}}}, {{"qor", {"tb_backup_log"}}}};
    summary("tb_audit_log", migratedUpToJan9);
    summary("tb_backup_log", nothingMigrated);
    oldest("tb_audit_log", oldestAudit);
    oldest("tb_backup_log", oldestAudit);
    fake.answer("sort({ _id: -1 })", "ISODate('2024-03-05T10:20:30.000Z')\n");
    fake.answer("DELETE FROM tb_audit_log", "", 60);
    TestRun run;
    run.retryMode = 1;
    const Lines texts = messages(run);
    ASSERT_GE(texts.size(), 5u);
    EXPECT_EQ(texts[3], "tb_audit_log previous data could not be cleared, migration skipped");
    EXPECT_EQ(texts[4], "Disk Usage : 50%");
    EXPECT_EQ(pipelines().size(), 1u);
    EXPECT_NE(pipelines()[0].find("--collection=tb_backup_log"), std::string::npos);
    EXPECT_EQ(outcomes(), (std::vector<Outcome>{Outcome::failed, Outcome::migratedAfterClearing}));
}

TEST_F(GeneralTableMigration, J4CollectionsUseTheirZqNamesInClickHouseOnly) {
    migrationList = {{{"zq", {"tb_j4_alert_log"}}}};
    summary("tb_zq_alert_log", nothingMigrated);
    oldest("tb_j4_alert_log", oldestAudit);
    const Lines texts = messages();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "tb_zq_alert_log table migration start"),
              texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "migration table : tb_j4_alert_log, range : ALL"),
              texts.end());
    ASSERT_EQ(pipelines().size(), 1u);
    EXPECT_NE(pipelines()[0].find("--collection=tb_j4_alert_log "), std::string::npos);
    EXPECT_NE(pipelines()[0].find("INSERT INTO mig_tb_zq_alert_log FORMAT"), std::string::npos);
    EXPECT_EQ(fake.commands().back(), clickhouse + "\"truncate table mig_tb_zq_alert_log\"");
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::migrated});
}

TEST_F(GeneralTableMigration, ATableFilterVisitsEveryEntryListingItAndNothingElse) {
    migrationList = {{{"qor", {"tb_audit_log", "tb_backup_log"}}},
                     {{"misc", {"tb_service_log", "tb_audit_log"}}}};
    summary("tb_audit_log", nothingMigrated);
    oldest("tb_audit_log", oldestAudit);
    TestRun run;
    run.table = "tb_audit_log";
    messages(run);
    EXPECT_EQ(fake.commandsContaining("min(oid) from").size(), 2u);
    EXPECT_TRUE(fake.commandsContaining("tb_backup_log").empty());
    EXPECT_TRUE(fake.commandsContaining("tb_service_log").empty());
    EXPECT_EQ(pipelines().size(), 2u);

    run.product = "misc";
    messages(run);
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(GeneralTableMigration, ReportTablesBelongToTheOtherPassWhereverTheyStand) {
    migrationList = {{{"qor", {"tb_report_data", "tb_base_report_data", "tb_audit_log"}}}};
    summary("tb_audit_log", nothingMigrated);
    oldest("tb_audit_log", oldestAudit);
    messages();
    EXPECT_TRUE(fake.commandsContaining("report").empty());
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(records()[0].name, "tb_audit_log");
}

TEST_F(GeneralTableMigration, ARefusedNameIsNeverPutIntoACommand) {
    migrationList = {{{"qor", {"tb_x';touch /tmp/owned;'", "tb_audit_log"}}}};
    summary("tb_audit_log", nothingMigrated);
    oldest("tb_audit_log", oldestAudit);
    const std::vector<LoggedLine> lines = pass();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], (LoggedLine{"generalTableMigration",
                                    "tb_x';touch /tmp/owned;' collection name is not accepted "
                                    "(letters, digits, '_', '.' and '-' only), skipped"}));
    EXPECT_TRUE(fake.commandsContaining("owned").empty());
    EXPECT_EQ(outcomes(), (std::vector<Outcome>{Outcome::refusedName, Outcome::migrated}));
}

TEST_F(GeneralTableMigration, AnUnreadableSummaryIsAFailureAndTheNextCollectionFollows) {
    migrationList = {{{"qor", {"tb_audit_log", "tb_backup_log", "tb_service_log"}}}};
    summary("tb_audit_log", "");
    summary("tb_backup_log", "7\t1704067200000\n");
    summary("tb_service_log", nothingMigrated);
    oldest("tb_service_log", oldestAudit);
    const std::vector<LoggedLine> lines = pass();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[1], (LoggedLine{"getClickHouseQueryResult", "Split String Error"}));
    EXPECT_EQ(lines[2], (LoggedLine{"generalTableMigration", "Split String Error"}));
    EXPECT_EQ(lines[4], (LoggedLine{"generalTableMigration", "Split String Error"}));
    EXPECT_TRUE(fake.commandsContaining("db.tb_audit_log").empty());
    EXPECT_TRUE(fake.commandsContaining("db.tb_backup_log").empty());
    EXPECT_EQ(outcomes(),
              (std::vector<Outcome>{Outcome::failed, Outcome::failed, Outcome::migrated}));
}

TEST_F(GeneralTableMigration, AFailedPipelineIsRecordedAndTheStagingTableStillEmptied) {
    summary("tb_audit_log", nothingMigrated);
    oldest("tb_audit_log", oldestAudit);
    fake.pipelineEnds("mongoexport", 1, 0);
    const Lines texts = messages();
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ(texts[4],
              "tb_audit_log table migration failed (mongoexport exit 1, clickhouse-client exit 0)");
    EXPECT_EQ(texts[5], "migration table : tb_audit_log, range :  ~  ALL");
    EXPECT_EQ(fake.commands().back(), clickhouse + "\"truncate table mig_tb_audit_log\"");
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::failed});
}

TEST_F(GeneralTableMigration, AnEmptyWindowIsNotAFailure) {
    summary("tb_audit_log", nothingMigrated);
    oldest("tb_audit_log", oldestAudit);
    fake.pipelineEnds("mongoexport", 0, 108);
    TestRun run;
    run.startTime = "2023-01-01";
    run.endTime = "2023-01-02";
    messages(run);
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::migrated});
}
}  // namespace

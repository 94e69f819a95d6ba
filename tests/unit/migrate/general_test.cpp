#include <gtest/gtest.h>

#include "pass_fixture.h"

// The branches of the pass run through the real binary in
// tests/cli/general_migration_test.cpp; here are the cases those scenarios
// cannot reach cheaply: timing, several collections, odd summary rows.
namespace {
using Lines = std::vector<std::string>;

const std::string clickhouse =
    "clickhouse-client -h ch.test --port=8820 -u cuser --password='cpass' --query=";
const std::string oldestAudit = "[ { _id: ObjectId('659200800000000000000000') } ]\n";

// Summary rows of a completed table: count, first and last server_time in
// milliseconds, smallest oid.
const std::string nothingMigrated = "0\t0\t0\t\n";
// 2024-01-01 00:00:00 to 2024-01-09 23:59:59.
const std::string migratedUpToJan9 =
    "1500\t1704067200000\t1704844799999\t659200800000000000000000\n";

class GeneralTableMigration : public PassFixture {
protected:
    GeneralTableMigration()
        : PassFixture(&OlapMigrator::generalTableMigration, {{{"qor", {"tb_audit_log"}}}}) {}
    std::vector<LoggedLine> pass(const TestRun& parameters = {}) { return run(parameters); }
};

TEST_F(GeneralTableMigration, AMigratedCollectionSettlesWaitsAndRecordsItsTime) {
    summary("tb_audit_log", nothingMigrated);
    oldest("tb_audit_log", oldestAudit);
    TestRun run;
    run.waitTime = 5;
    pass(run);
    EXPECT_EQ(fake.sleeps(), (std::vector<unsigned>{2, 5}));
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(records()[0].outcome, Outcome::migrated);
    EXPECT_EQ(records()[0].completedCount, "40");
    EXPECT_EQ(records()[0].seconds, 7);
}

TEST_F(GeneralTableMigration, ANonZeroCountWithoutASmallestOidCountsAsComplete) {
    summary("tb_audit_log", "3\t1704067200000\t1704844799999\t\n");
    oldest("tb_audit_log", oldestAudit);
    messages();
    EXPECT_TRUE(pipelines().empty());
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::complete});
}

// Closed ranges: a range overlaps the migrated span when they share a
// second, whichever side it lies on; retry never clears for a range.
TEST_F(GeneralTableMigration, RangesAgainstTheMigratedSpan) {
    struct Case {
        std::string summaryRow;
        std::int32_t retryMode;
        Outcome outcome;
    };
    const Case cases[] = {
        // Migrated up to 2024-01-09 23:59:59.999, one second before the range.
        {migratedUpToJan9, 1, Outcome::migrated},
        // Migrated from 2024-01-13 00:00:00, one second after the range.
        {"10\t1705104000000\t1705276800000\t65a1d2800000000000000000\n", 0, Outcome::migrated},
        // Migrated from 2024-01-12 23:59:59, the range's last second.
        {"10\t1705103999000\t1705276800000\t65a1d27f0000000000000000\n", 0, Outcome::skippedOverlap},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.summaryRow);
        fake = FakeHost{};
        fake.fileSystem = FileSystemFigures{1000, 4096, 500, 400};
        fake.answer("SELECT count() as cnt", "40\t40\n");
        summary("tb_audit_log", c.summaryRow);
        oldest("tb_audit_log", oldestAudit);
        TestRun run;
        run.startTime = "2024-01-10";
        run.endTime = "2024-01-12";
        run.retryMode = c.retryMode;
        messages(run);
        EXPECT_EQ(outcomes(), std::vector<Outcome>{c.outcome});
        EXPECT_TRUE(fake.commandsContaining("DELETE").empty());
    }
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
    messages(run);
    ASSERT_EQ(pipelines().size(), 1u);
    EXPECT_NE(pipelines()[0].find("--collection=tb_backup_log"), std::string::npos);
    EXPECT_EQ(outcomes(), (std::vector<Outcome>{Outcome::failed, Outcome::migratedAfterClearing}));
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

TEST_F(GeneralTableMigration, AShortSummaryRowIsAFailureAndTheNextCollectionFollows) {
    migrationList = {{{"qor", {"tb_backup_log", "tb_service_log"}}}};
    summary("tb_backup_log", "7\t1704067200000\n");
    summary("tb_service_log", nothingMigrated);
    oldest("tb_service_log", oldestAudit);
    messages();
    EXPECT_TRUE(fake.commandsContaining("db.tb_backup_log").empty());
    EXPECT_EQ(outcomes(), (std::vector<Outcome>{Outcome::failed, Outcome::migrated}));
}

TEST_F(GeneralTableMigration, AFailedPipelineIsRecordedAndTheStagingTableStillEmptied) {
    summary("tb_audit_log", nothingMigrated);
    oldest("tb_audit_log", oldestAudit);
    fake.pipelineEnds("mongoexport", 1, 0);
    messages();
    EXPECT_EQ(fake.commands().back(), clickhouse + "\"truncate table mig_tb_audit_log\"");
    EXPECT_EQ(outcomes(), std::vector<Outcome>{Outcome::failed});
}
}  // namespace

#include "migrate/finish.h"

#include <gtest/gtest.h>

#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

namespace {
using Lines = std::vector<std::string>;

const std::string separator(67, '-');

TEST(FinishMigratedCollection, CountsPausesAndEmptiesTheStagingTable) {
    FakeHost fake;
    fake.answer("SELECT count()", "0\t1200\n");
    TestRun run;
    run.waitTime = 7;
    const auto migrator = makeTestMigrator(fake, run);
    CollectionRecord record;
    record.name = "tb_j4_alert_log";
    StdoutCapture out;
    finishMigratedCollection(*migrator, "generalTableMigration", 2, record);
    EXPECT_EQ(out.lines(),
              (std::vector<LoggedLine>{
                  {"getMigrationCount", "migration temp table count : 0"},
                  {"getMigrationCount", "migration completed table count : 1200"},
                  {"generalTableMigration", separator}}));
    EXPECT_EQ(fake.sleeps(), (std::vector<unsigned>{2, 7}));
    ASSERT_EQ(fake.commands().size(), 2u);
    EXPECT_EQ(fake.commands()[1], "clickhouse-client -h ch.test --port=8820 -u cuser "
                                  "--password='cpass' --query=\"truncate table "
                                  "mig_tb_zq_alert_log\"");
    EXPECT_EQ(record.stagingCount, "0");
    EXPECT_EQ(record.completedCount, "1200");
}

TEST(FinishMigratedCollection, WithoutASettlingPauseOnlyTheWaitTime) {
    FakeHost fake;
    TestRun run;
    run.waitTime = 3;
    const auto migrator = makeTestMigrator(fake, run);
    CollectionRecord record;
    record.name = "tb_report_data";
    StdoutCapture out;
    finishMigratedCollection(*migrator, "reportTableMigration", 0, record);
    EXPECT_EQ(fake.sleeps(), std::vector<unsigned>{3});
    // Unreadable counts are left out of the record; the staging table is
    // emptied all the same.
    EXPECT_FALSE(record.stagingCount);
    EXPECT_FALSE(record.completedCount);
    const std::vector<LoggedLine> lines = out.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), (LoggedLine{"reportTableMigration", separator}));
    EXPECT_EQ(fake.commandsContaining("truncate table mig_tb_report_data\"").size(), 1u);
}
}  // namespace

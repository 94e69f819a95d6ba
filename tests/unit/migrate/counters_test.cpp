#include <gtest/gtest.h>

#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

namespace {
using Lines = std::vector<std::string>;

TEST(GetMigrationCount, ReadsBothCountsOfTheClickHouseName) {
    FakeHost fake;
    fake.answer("SELECT count() as cnt FROM mig_tb_zq_alert_log)", "120\t118\n");
    const auto migrator = makeTestMigrator(fake);
    std::string staging;
    std::string completed;
    StdoutCapture out;
    EXPECT_EQ(migrator->getMigrationCount("tb_j4_alert_log", staging, completed), 0);
    EXPECT_EQ(staging, "120");
    EXPECT_EQ(completed, "118");
    EXPECT_EQ(out.lines(), (std::vector<LoggedLine>{
                               {"getMigrationCount", "migration temp table count : 120"},
                               {"getMigrationCount", "migration completed table count : 118"}}));
}

TEST(GetMigrationCount, LeavesTheCountsAloneWhenClickHouseGivesTooLittle) {
    for (const std::string reply : {"", "120\n"}) {
        FakeHost fake;
        fake.answer("SELECT count()", reply);
        const auto migrator = makeTestMigrator(fake);
        std::string staging = "before";
        std::string completed = "before";
        StdoutCapture out;
        EXPECT_EQ(migrator->getMigrationCount("tb_audit_log", staging, completed), -1);
        EXPECT_EQ(staging, "before");
        EXPECT_EQ(completed, "before");
        const Lines messages = out.messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), "Split String Error");
        EXPECT_EQ(std::count(messages.begin(), messages.end(), "migration temp table count : 120"),
                  0);
    }
}

TEST(GetCollectionEdgeTime, AsksForTheTimeFieldOfTheCollectionKind) {
    struct Case {
        std::string collection;
        int direction;
        std::string script;
    };
    const Case cases[] = {
        {"tb_report_data", -1,
         "\"db.tb_report_data.find({}, {create_time: 1, _id: 0}).sort({create_time: -1})"
         ".limit(1)\""},
        {"tb_report_status", 1,
         "\"db.tb_report_status.find({}, {create_time: 1, _id: 0}).sort({create_time: 1})"
         ".limit(1)\""},
        {"tb_base_report_data", -1,
         "\"db.tb_base_report_data.find({}, {data_date: 1, _id: 0}).sort({data_date: -1})"
         ".limit(1)\""},
        {"tb_j4_status", -1,
         "\"db.tb_j4_status.find().sort({ _id: -1 }).limit(1).forEach(doc => "
         "print(doc._id.getTimestamp()))\""},
    };
    for (const Case& c : cases) {
        FakeHost fake;
        fake.answer("mongosh", "Connecting\nISODate('2024-03-05T10:20:30.000Z')\n");
        const auto migrator = makeTestMigrator(fake);
        EXPECT_EQ(migrator->getCollectionEdgeTime(c.collection, c.direction),
                  "ISODate('2024-03-05T10:20:30.000Z')");
        EXPECT_EQ(fake.commands(),
                  Lines{"mongosh mongo.test:8825/qornosql -u muser -p mpass --quiet --eval " +
                        c.script});
    }
}

TEST(GetCollectionEdgeTime, AnEmptyCollectionGivesEmptyText) {
    FakeHost fake;
    const auto migrator = makeTestMigrator(fake);
    EXPECT_EQ(migrator->getCollectionEdgeTime("tb_audit_log", -1), "");
}
}  // namespace

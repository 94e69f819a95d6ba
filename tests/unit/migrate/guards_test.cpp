// The pauses a production run takes, checked without taking them.

#include <gtest/gtest.h>

#include "../fake_host.h"
#include "migrate/guards.h"
#include "migrate/migration.h"

namespace {
OlapMigrator runOn(const Host& host) {
    RunParameters parameters;
    parameters.memoryLimit = 50;
    parameters.waitTime = 7;
    parameters.table = "tb_audit_log";
    return OlapMigrator{.parameters = parameters, .migrationList = {{{"qor", {"tb_audit_log"}}}},
                        .host = host};
}
}  // namespace

TEST(Guards, MemoryGuardWaitsTenSecondsUpToSixtyTimesAndStopsOnAFailedRead) {
    const std::pair<std::string, int> free = {"        total   used\nMem:  16000000000  1\nSwap:  0  0\n", 0};
    const struct {
        std::pair<std::string, int> memory, usage;
        std::size_t pauses;
        bool loads;
    } cases[] = {{free, {"8000000000\n", 0}, 0, true},  {free, {"8000000001\n", 0}, 60, true},
                 {{"Swap:  0  0\n", 0}, {"1\n", 0}, 60, true}, {free, {"", 0}, 60, true},
                 {{"", 1}, {"1\n", 0}, 0, false},         {free, {"", 210}, 0, false}};
    for (const auto& c : cases) {
        FakeHost fake;
        fake.answers = {{"free -b", c.memory}, {"MemoryTracking", c.usage}};
        const Host host = fake.host();
        EXPECT_EQ(checkClickHouseMemory(runOn(host)), c.loads) << c.memory.first << c.usage.first;
        EXPECT_EQ(fake.sleeps, std::vector<unsigned>(c.pauses, 10)) << c.memory.first << c.usage.first;
    }
}

TEST(Guards, AMigratedGeneralCollectionSettlesThenWaits) {
    FakeHost fake;
    fake.answers = {{"mig_tb_audit_log_completed\"", {"0\t0\t0\t\n", 0}},
                    {"limit(1)", {"[ { _id: ObjectId('659200800000000000000000') } ]\n", 0}},
                    {"SELECT count()", {"0\t1\n", 0}},
                    {"countDocuments", {"1\n", 0}},
                    {"'retry mig_tb_audit_log_completed'", {"1\t0\t659200800000000000000000\n", 0}}};
    const Host host = fake.host();
    OlapMigrator run = runOn(host);
    generalTableMigration(run);
    EXPECT_EQ(fake.sleeps, (std::vector<unsigned>{2, 7}));
    ASSERT_EQ(run.report.records().size(), 1u);
    EXPECT_EQ(run.report.records()[0].outcome, Outcome::migrated);
}

TEST(Guards, AnErrorStillRecordsTheCollectionTheRunStoppedAt) {
    FakeHost fake;
    fake.answers = {{"mig_tb_audit_log_completed\"", {"many\t0\t0\t\n", 0}}};
    const Host host = fake.host();
    OlapMigrator run = runOn(host);
    EXPECT_THROW(generalTableMigration(run), std::invalid_argument);
    ASSERT_EQ(run.report.records().size(), 1u);
    EXPECT_EQ(run.report.records()[0].outcome, Outcome::stopped);
}

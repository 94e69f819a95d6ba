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

TEST(Guards, MemoryGuardWaitsTenSecondsUpToSixtyTimes) {
    const struct {
        const char* limit;
        const char* usage;
        std::size_t pauses;
    } cases[] = {{"8000000000\n", "8000000000\n", 0},
                 {"8000000000\n", "8000000001\n", 60},
                 {"", "1\n", 60},
                 {"8000000000\n", "", 60}};
    for (const auto& c : cases) {
        FakeHost fake;
        fake.answers = {{"free -b", {c.limit, 0}}, {"MemoryTracking", {c.usage, 0}}};
        const Host host = fake.host();
        checkClickHouseMemory(runOn(host));
        EXPECT_EQ(fake.sleeps, std::vector<unsigned>(c.pauses, 10)) << c.usage;
    }
}

TEST(Guards, AMigratedGeneralCollectionSettlesThenWaits) {
    FakeHost fake;
    fake.answers = {{"mig_tb_audit_log_completed\"", {"0\t0\t0\t\n", 0}},
                    {"limit(1)", {"[ { _id: ObjectId('659200800000000000000000') } ]\n", 0}},
                    {"SELECT count()", {"0\t1\n", 0}},
                    {"countDocuments", {"1\n", 0}},
                    {"select count(), max(oid)", {"1\t659200800000000000000000\n", 0}}};
    const Host host = fake.host();
    OlapMigrator run = runOn(host);
    generalTableMigration(run);
    EXPECT_EQ(fake.sleeps, (std::vector<unsigned>{2, 7}));
    ASSERT_EQ(run.report.records().size(), 1u);
    EXPECT_EQ(run.report.records()[0].outcome, Outcome::migrated);
}

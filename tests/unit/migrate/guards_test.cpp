// The guards and the counts a production run goes by, checked without
// children and without taking its pauses.

#include <gtest/gtest.h>

#include "../fake_host.h"
#include "exec/commands.h"
#include "migrate/guards.h"
#include "migrate/migration.h"

namespace {
OlapMigrator runOn(const Host& host, const std::string& table = "tb_audit_log") {
    RunParameters parameters;
    parameters.memoryLimit = 5;
    parameters.waitTime = 7;
    parameters.table = table;
    return OlapMigrator{.parameters = parameters, .migrationList = {{{"qor", {table}}}}, .host = host};
}
}  // namespace

TEST(Guards, MemoryGuardWaitsTenSecondsUpToSixtyTimesAndStopsOnAFailedRead) {
    // -ml 5 is five hundredths of the memory, not half of it.
    const std::pair<std::string, int> free = {"        total   used\nMem:  160000000000  1\nSwap:  0  0\n", 0};
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

TEST(Guards, DiskGuardStopsFromTheLimitOnCountingRootsBlocksAsFree) {
    const struct {
        std::uint64_t blocks, freeBlocks, availableBlocks;
        std::int64_t limit;
        bool goesOn;
    } cases[] = {{100, 10, 5, 90, false}, {100, 10, 5, 91, true}, {100, 10, 5, 0, true},
                 {100, 0, 0, 100, false}, {0, 0, 0, 1, true}};
    for (const auto& c : cases) {
        FakeHost fake;
        fake.figures = FileSystemFigures{c.blocks, 4096, c.freeBlocks, c.availableBlocks};
        EXPECT_EQ(diskUsageExceedCheck(c.limit, fake.host()), c.goesOn) << c.blocks << " " << c.limit;
    }
}

// One collection of a first run, from MongoDB's and ClickHouse's answers to
// its outcome: only every document there exactly once is a success.
TEST(Guards, ACollectionEndsAsItsComparisonSays) {
    const std::string oid = "659200800000000000000000", letGo = "659200810000000000000000";
    const std::string listedOnce = "{\"_id\":{\"$oid\":\"" + oid + "\"}}\n";
    const struct {
        const char* what;
        const char* collection;
        std::map<std::string, std::pair<std::string, int>> answers;
        Outcome outcome;
    } cases[] = {
        {"equal", "tb_audit_log", {}, Outcome::migrated},
        {"a row twice", "tb_audit_log",
         {{"sum(reinterpretAsUInt32", {"2\t3408134400\t0\n", 0}}, {"--fields _id", {listedOnce, 0}},
          {"select oid from", {oid + "\n" + oid + "\n", 0}}},
         Outcome::failed},
        {"a row of a document MongoDB let go", "tb_audit_log",
         {{"sum(reinterpretAsUInt32", {"2\t3408134401\t0\n", 0}}, {"--fields _id", {listedOnce, 0}},
          {"select oid from", {letGo + "\n" + oid + "\n", 0}}},
         Outcome::migrated},
        {"a document missing", "tb_audit_log", {{"aggregate(", {"2 3408134400\n", 0}}}, Outcome::failed},
        {"MongoDB summary failed", "tb_audit_log", {{"aggregate(", {"", 1}}}, Outcome::failed},
        {"ClickHouse summary failed", "tb_audit_log", {{"sum(reinterpretAsUInt32", {"", 210}}}, Outcome::failed},
        {"summary not a number", "tb_audit_log", {{"aggregate(", {"1 1.7e+21\n", 0}}}, Outcome::failed},
        {"report", "tb_report_data", {}, Outcome::migrated},
        {"report newest date failed", "tb_report_data", {{"sort({create_time: -1})", {"", 1}}}, Outcome::failed},
        {"report oldest date failed", "tb_report_data", {{"sort({create_time: 1})", {"", 1}}}, Outcome::failed},
    };
    for (const auto& c : cases) {
        FakeHost fake;
        fake.figures = FileSystemFigures{100, 4096, 50, 50};
        fake.answers = c.answers;
        fake.answers.insert({{"min(server_time)", {"0\t0\t0\t\n", 0}},
                             {"sort({_id:", {"[ { _id: ObjectId('" + oid + "') } ]\n", 0}},
                             {"sort({create_time:", {"[ { create_time: ISODate('2023-12-01T10:00:00.000Z') } ]\n", 0}},
                             {"'report_preprocess'", {"1\n", 0}},
                             {"SELECT count()", {"0\t1\n", 0}},
                             {"aggregate(", {"1 1704067200\n", 0}},
                             {"sum(reinterpretAsUInt32", {"1\t1704067200\t0\n", 0}}});
        const Host host = fake.host();
        OlapMigrator run = runOn(host, c.collection);
        generalTableMigration(run);
        reportTableMigration(run);
        ASSERT_EQ(run.report.records().size(), 1u) << c.what;
        EXPECT_EQ(run.report.records()[0].outcome, c.outcome) << c.what;
        if (c.outcome == Outcome::migrated) {
            EXPECT_EQ(std::count(fake.sleeps.begin(), fake.sleeps.end(), 7u), 1) << c.what;
        }
    }
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

// The guards a production run goes by, checked without children and
// without taking their pauses.

#include <gtest/gtest.h>

#include "../fake_host.h"
#include "migrate/guards.h"

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


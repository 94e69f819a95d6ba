#include <gtest/gtest.h>

#include "app/options.h"

namespace {
std::optional<Invocation> invocationOf(const std::vector<std::string>& arguments) {
    return readInvocation(scanArguments(arguments));
}
}  // namespace

TEST(Options, ScanTakesTheNextArgumentAsTheValue) {
    const CommandLine line = scanArguments({"start", "-t", "-p", "-n", "7", "-t", "tb_a", "-s"});
    EXPECT_EQ(line.table, "tb_a");
    EXPECT_EQ(line.product, "");
    EXPECT_EQ(line.batchCount, "7");
    EXPECT_EQ(line.startTime, "");
    EXPECT_TRUE(scanArguments({"start", "--help"}).help);
    EXPECT_FALSE(scanArguments({"start", "-t", "--help"}).help);
}

// The places main overwrites: those of the values the scan took as passwords, and no others.
TEST(Options, NumbersAreReadOrRefused) {
    EXPECT_EQ(invocationOf({"start", "-n", "12h"})->parameters.batchCount, 12);
    EXPECT_TRUE(invocationOf({"start", "-ml", "40"})->parameters.memoryLimitSet);
    for (const char* option : {"-i", "-n", "-j", "-dl", "-w", "-ml"}) {
        EXPECT_FALSE(invocationOf({"start", option, "fifty"})) << option;
        EXPECT_FALSE(invocationOf({"start", option, "999999999999999999999999999999"})) << option;
    }
}

TEST(Options, TuningRefusesOrRepairs) {
    const struct {
        std::vector<std::string> arguments;
        bool accepted;
        std::int32_t batchCount, waitTime, interval, jobs = 1;
    } cases[] = {
        {{"start"}, true, 50, 10, 24},
        {{"start", "-n", "0", "-w", "-5", "-i", "0", "-j", "0"}, true, 50, 10, 24, 1},
        {{"start", "-n", "301", "-j", "17"}, true, 300, 10, 24, 16},
        {{"start", "-n", "300", "-dl", "0", "-j", "16"}, true, 300, 10, 24, 16},
        {{"start", "-dl", "100"}, true, 50, 10, 24},
        {{"start", "-dl", "101"}, false, 0, 0, 0},
        {{"start", "-dl", "-1"}, false, 0, 0, 0},
        {{"start", "-ml", "0"}, false, 0, 0, 0},
        {{"start", "-ml", "101"}, false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        RunParameters parameters = invocationOf(c.arguments)->parameters;
        ASSERT_EQ(passesTuningCheck(parameters), c.accepted) << c.arguments.back();
        if (!c.accepted) continue;
        EXPECT_EQ(parameters.batchCount, c.batchCount);
        EXPECT_EQ(parameters.waitTime, c.waitTime);
        EXPECT_EQ(parameters.interval, c.interval);
        EXPECT_EQ(parameters.jobs, c.jobs);
    }
}

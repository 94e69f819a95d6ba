#include "migrate/guards.h"

#include <gtest/gtest.h>

#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"
#include "util/paths.h"

namespace {
using Lines = std::vector<std::string>;

// 1000 blocks of 4 KiB with `freeBlocks` free; fewer are available to
// ordinary users, which must not count as used.
FileSystemFigures filledTo(std::uint64_t freeBlocks) {
    return {1000, 4096, freeBlocks, freeBlocks / 2};
}

TEST(DiskUsageExceedCheck, PassesBelowTheLimitAndWithTheLimitOff) {
    struct Case {
        std::int64_t limit;
        std::uint64_t freeBlocks;
        std::string message;
    };
    const Case cases[] = {
        {90, 101, "Disk Usage : 89%"},
        {0, 0, "Disk Usage : 100%"},
        {100, 1, "Disk Usage : 99%"},
        // 900.5 blocks used: the percentage is truncated, not rounded.
        {91, 99, "Disk Usage : 90%"},
    };
    for (const Case& c : cases) {
        FakeHost fake;
        fake.fileSystem = filledTo(c.freeBlocks);
        StdoutCapture out;
        diskUsageExceedCheck(c.limit, fake.host());
        EXPECT_EQ(out.lines(), (std::vector<LoggedLine>{{"diskUsageExceedCheck", c.message}}))
            << c.limit;
    }
}

TEST(DiskUsageExceedCheck, AFileSystemThatCannotBeMeasuredLetsTheRunGoOn) {
    const std::optional<FileSystemFigures> unmeasurable[] = {
        std::nullopt,
        FileSystemFigures{0, 4096, 0, 0},
        FileSystemFigures{1000, 0, 10, 10},
        FileSystemFigures{1000, 4096, 1001, 1001},
    };
    for (const std::optional<FileSystemFigures>& figures : unmeasurable) {
        FakeHost fake;
        fake.fileSystem = figures;
        StdoutCapture out;
        ::testing::internal::CaptureStderr();
        diskUsageExceedCheck(1, fake.host());
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "Error: Unable to get file system statistics for " +
                      rootedPath(paths::clickhouseStorage) + "\n");
        EXPECT_EQ(out.text(), "");
    }
}

// Runs the memory check against the fake and hands back what it printed.
std::vector<LoggedLine> checkMemory(FakeHost& fake, const TestRun& run = {}) {
    const auto migrator = makeTestMigrator(fake, run);
    StdoutCapture out;
    migrator->checkClickHouseMemory();
    return out.lines();
}
Lines messagesOf(const std::vector<LoggedLine>& lines) {
    Lines texts;
    for (const LoggedLine& line : lines) texts.push_back(line.message);
    return texts;
}

TEST(CheckClickHouseMemory, ReturnsAtOnceWhenUsageIsWithinTheShare) {
    FakeHost fake;
    fake.answer("free -b", "8000000000\n");
    fake.answer("MemoryTracking", "8000000000\n");
    EXPECT_EQ(checkMemory(fake),
              (std::vector<LoggedLine>{
                  {"checkClickHouseMemory", "Limit Memory (Physical RAM * 0.4) : 8000000000"},
                  {"checkClickHouseMemory", "ClickHouse Current Usage Memory : 8000000000"},
                  {"", ""}}));
    EXPECT_TRUE(fake.sleeps().empty());
    ASSERT_EQ(fake.commands().size(), 2u);
    EXPECT_EQ(fake.commands()[0], "free -b | awk '/Mem:/ {printf \"%.0f\\n\", $2 * 0.50}'");
    EXPECT_NE(fake.commands()[1].find("--query=\"select value from system.metrics where metric "
                                      "= 'MemoryTracking'\""),
              std::string::npos);
}

TEST(CheckClickHouseMemory, WaitsTenSecondsWhileUsageIsAboveTheShare) {
    FakeHost fake;
    fake.answer("free -b", "8000000000\n");
    fake.answerInTurn("MemoryTracking", {{"8000000001\n"}, {"8000000001\n"}, {"7000000000\n"}});
    EXPECT_EQ(messagesOf(checkMemory(fake)), (Lines{"ClickHouse Memory Usage Exceeds 40% of Physical RAM",
                                     "ClickHouse Memory Usage Exceeds 40% of Physical RAM",
                                     "Limit Memory (Physical RAM * 0.4) : 8000000000",
                                     "ClickHouse Current Usage Memory : 7000000000", ""}));
    EXPECT_EQ(fake.sleeps(), (std::vector<unsigned>{10, 10}));
}

TEST(CheckClickHouseMemory, GivesUpAfterSixtyAttempts) {
    FakeHost fake;
    fake.answer("free -b", "100\n");
    fake.answer("MemoryTracking", "101\n");
    EXPECT_EQ(messagesOf(checkMemory(fake)), Lines(60, "ClickHouse Memory Usage Exceeds 40% of Physical RAM"));
    EXPECT_EQ(fake.sleeps(), std::vector<unsigned>(60, 10));
    EXPECT_EQ(fake.commandsContaining("MemoryTracking").size(), 60u);
}

TEST(CheckClickHouseMemory, AFigureThatIsNotANumberIsAFailedAttempt) {
    FakeHost fake;
    // A limit command that prints nothing or text must not become a limit
    // of zero; an empty metric reply must not become a usage of zero.
    fake.answerInTurn("free -b", {{""}, {"awk: error\n"}, {"100\n"}});
    fake.answerInTurn("MemoryTracking", {{"0\n"}, {"0\n"}, {""}, {"50\n"}});
    const Lines messages = messagesOf(checkMemory(fake));
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "Memory Check Error"), 3);
    EXPECT_EQ(fake.sleeps(), (std::vector<unsigned>{10, 10, 10}));
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages[messages.size() - 3], "Limit Memory (Physical RAM * 0.4) : 100");
}

// How each share is spelled shows in the command table of commands_test.cpp.
TEST(CheckClickHouseMemory, TheShareIsTheMemoryLimitOfTheRun) {
    FakeHost fake;
    fake.answer("free -b", "1\n");
    fake.answer("MemoryTracking", "1\n");
    TestRun run;
    run.memoryLimit = 5;
    checkMemory(fake, run);
    ASSERT_FALSE(fake.commands().empty());
    EXPECT_EQ(fake.commands()[0], "free -b | awk '/Mem:/ {printf \"%.0f\\n\", $2 * 0.05}'");
}
}  // namespace

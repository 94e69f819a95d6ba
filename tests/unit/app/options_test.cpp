#include "app/options.h"

#include <gtest/gtest.h>

namespace {
CommandLine scan(std::vector<std::string> arguments) { return scanArguments(arguments); }

TEST(ScanArguments, TakesTheNextArgumentAsValue) {
    const CommandLine line = scan({"start", "-t", "-p", "-s", "2025-01-01", "-e", "2025-01-02",
                                   "stray", "-n", "12h", "-f", "/tmp/list.txt", "-s"});
    EXPECT_EQ(line.command, "start");
    EXPECT_EQ(line.table, "-p");
    EXPECT_EQ(line.product, "");
    // The trailing "-s" has no value and leaves the earlier one in place.
    EXPECT_EQ(line.startTime, "2025-01-01");
    EXPECT_EQ(line.endTime, "2025-01-02");
    EXPECT_EQ(line.batchCount, "12h");
    EXPECT_EQ(line.listFile, "/tmp/list.txt");
}

TEST(ScanArguments, RepeatedOptionKeepsTheLastValue) {
    const CommandLine line = scan({"check", "-ni", "a", "-ni", "b", "-cp", "x", "-cp", "y"});
    EXPECT_EQ(line.nosqlIp, "b");
    EXPECT_EQ(line.olapPassword, "y");
    EXPECT_FALSE(line.dryRun);
    EXPECT_TRUE(scan({"start", "--dry-run"}).dryRun);
}

TEST(ReadRunParameters, DefaultsAndLeadingNumbers) {
    const auto defaults = readRunParameters(scan({"start"}));
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->interval, 24);
    EXPECT_EQ(defaults->batchCount, 50);
    EXPECT_EQ(defaults->diskLimit, 90);
    EXPECT_EQ(defaults->waitTime, 10);
    EXPECT_EQ(defaults->memoryLimit, 50);
    EXPECT_FALSE(defaults->memoryLimitSet);

    const auto typed = readRunParameters(
        scan({"start", "-n", "12h", "-i", " 48", "-dl", "-1", "-w", "+3", "-ml", "40"}));
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->batchCount, 12);
    EXPECT_EQ(typed->interval, 48);
    EXPECT_EQ(typed->diskLimit, -1);
    EXPECT_EQ(typed->waitTime, 3);
    EXPECT_EQ(typed->memoryLimit, 40);
    EXPECT_TRUE(typed->memoryLimitSet);
}

TEST(ReadRunParameters, RefusesValuesThatAreNotNumbersOrDoNotFit) {
    // Words and 32-bit overflows are refused through the real binary in
    // tests/cli/front_end_test.cpp.
    const std::vector<std::vector<std::string>> refused = {
        {"start", "-ml", "-2147483649"},
        {"start", "-dl", "999999999999999999999999999999"},
        {"check", "-n", ""},
    };
    for (const auto& arguments : refused) {
        ::testing::internal::CaptureStdout();
        const auto parameters = readRunParameters(scan(arguments));
        const std::string out = ::testing::internal::GetCapturedStdout();
        if (arguments.back().empty()) {
            // An empty value is no value: the default stands.
            EXPECT_TRUE(parameters);
            continue;
        }
        EXPECT_FALSE(parameters) << arguments[1];
        EXPECT_NE(out.find("[LOG][main:"), std::string::npos);
        EXPECT_NE(out.find(arguments[1] + " option : " + arguments[2]), std::string::npos) << out;
    }
}

TEST(ApplyOverrides, ReplacesOnlyWithNonEmptyValues) {
    ConnectionSettings settings{"mongo.host", "mu", "mp", "ch.host", "cu", "cp",
                                "mongo.host", "ru", "rp"};
    applyOverrides(scan({"start", "-ni", "other", "-nu", "", "-cp", "secret"}), settings);
    EXPECT_EQ(settings.nosqlIp, "other");
    EXPECT_EQ(settings.rdbHost, "mongo.host");
    EXPECT_EQ(settings.nosqlUser, "mu");
    EXPECT_EQ(settings.olapPassword, "secret");
    EXPECT_EQ(settings.olapIp, "ch.host");
}

RunParameters withDates(const std::string& start, const std::string& end) {
    RunParameters parameters;
    parameters.startTime = start;
    parameters.endTime = end;
    return parameters;
}

TEST(DateCheck, AcceptsBothOrNeitherInOrder) {
    EXPECT_TRUE(passesDateCheck(withDates("", "")));
    EXPECT_TRUE(passesDateCheck(withDates("2025-01-01", "2025-01-01")));
    EXPECT_TRUE(passesDateCheck(withDates("2025-01-01", "2025-01-31")));
}

// The repairs of 0 and negative values and the refused disk limits show in
// the banner tests of tests/cli/front_end_test.cpp.
TEST(TuningCheck, RepairsAndRefusesAtTheUpperBounds) {
    RunParameters parameters;
    parameters.batchCount = 301;
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(passesTuningCheck(parameters));
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(parameters.batchCount, 300);
    EXPECT_EQ(out.find("wait time"), std::string::npos);
    EXPECT_NE(out.find("Adjust the number of batch count !! (300)"), std::string::npos);

    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(passesTuningCheck(parameters));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    for (std::int64_t limit : {0, 100}) {
        parameters.diskLimit = limit;
        EXPECT_TRUE(passesTuningCheck(parameters));
    }
    parameters.memoryLimitSet = true;
    for (std::int32_t limit : {0, 101, -4}) {
        parameters.memoryLimit = limit;
        ::testing::internal::CaptureStdout();
        EXPECT_FALSE(passesTuningCheck(parameters)) << limit;
        EXPECT_NE(::testing::internal::GetCapturedStdout().find(
                      "Please check memory usage limit (1 ~ 100)"),
                  std::string::npos);
    }
    parameters.memoryLimit = 100;
    EXPECT_TRUE(passesTuningCheck(parameters));
}
}  // namespace

#include "util/log.h"

#include <gtest/gtest.h>

#include <regex>

namespace {
void logFromHere() { LOG("pieces ", 42, ' ', -7L, " end"); } const int logLine = __LINE__;

TEST(Log, LineCarriesStampFunctionAndSourceLine) {
    ::testing::internal::CaptureStdout();
    logFromHere();
    const std::string line = ::testing::internal::GetCapturedStdout();
    const std::regex layout(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} - \[LOG\]\[logFromHere:(\d+)\] pieces 42 -7 end\n$)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, layout)) << line;
    EXPECT_EQ(std::stoi(match[1]), logLine);
}

TEST(Log, EmptyMessageAndNamedFunction) {
    ::testing::internal::CaptureStdout();
    LOG_AS("main", "");
    writeLog("writePidFile", 71, "Failed to create PID file.");
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find(" - [LOG][main:"), std::string::npos);
    EXPECT_NE(out.find("] \n"), std::string::npos);
    EXPECT_NE(out.find(" - [LOG][writePidFile:71] Failed to create PID file.\n"), std::string::npos);
}

TEST(Log, TimeStampIsLocalWholeSeconds) {
    const std::string stamp = getCurrentTime();
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}-\d{2}-\d{2} [0-2]\d:[0-5]\d:[0-6]\d)")))
        << stamp;
}

TEST(Diagnostics, AddANewlineOnlyWhenMissing) {
    ::testing::internal::CaptureStderr();
    writeDiagnostic("one");
    writeDiagnostic("two\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "one\ntwo\n");
}
}  // namespace

#include "log_lines.h"

#include <gtest/gtest.h>

namespace qortest {
namespace {

constexpr const char* output =
    "2024-03-01 10:00:00 - [LOG][generalTableMigration:120] migration table : tb_audit_log, range : ALL\n"
    "banner line\n"
    "2024-03-01 10:00:01 - [LOG][setMigrationList:44] \n"
    "[qor]\n"
    "tb_audit_log\n"
    "2024-03-01 10:00:02 - [LOG][main:9] tb_x collection size is zero. continue\n"
    "\n"
    "2024-03-01 10:00:03 - [LOG][main:9] tb_x collection size is zero. continue\n"
    "\n";

TEST(LogLines, SplitsTimeFunctionLineAndMessage) {
    const auto lines = parseLogLines(output);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].time, "2024-03-01 10:00:00");
    EXPECT_EQ(lines[0].function, "generalTableMigration");
    EXPECT_EQ(lines[0].line, 120);
    EXPECT_EQ(lines[0].message, "migration table : tb_audit_log, range : ALL");
    EXPECT_EQ(lines[0].following, std::vector<std::string>{"banner line"});
}

TEST(LogLines, KeepsTheLinesAfterAMessageThatHoldsNewlines) {
    const auto lines = parseLogLines(output);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].message, "");
    EXPECT_EQ(lines[1].following, (std::vector<std::string>{"[qor]", "tb_audit_log"}));
    EXPECT_EQ(lines[2].following, std::vector<std::string>{""});
}

TEST(LogLines, FindsAndCountsByExactMessage) {
    EXPECT_EQ(countLogLines(output, "tb_x collection size is zero. continue"), 2u);
    EXPECT_EQ(countLogLines(output, "tb_x collection size is zero."), 0u);
    const auto found = findLogLine(output, "tb_x collection size is zero. continue");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->time, "2024-03-01 10:00:02");
    EXPECT_FALSE(findLogLine(output, "banner line").has_value());
}

TEST(LogLines, RejectsLinesThatOnlyLookAlike) {
    const auto lines = parseLogLines(
        "2024-3-01 10:00:00 - [LOG][f:1] short month\n"
        "2024-03-01 10:00:00 - [LOG][f:x] no line number\n"
        "2024-03-01 10:00:00 - [LOG][f:1]no blank\n"
        "2024-03-01 10:00:00 -[LOG][f:1] no blank before the tag\n");
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(logMessages("2024-03-01 10:00:00 - [LOG][a::b:7] text"), std::vector<std::string>{"text"});
    EXPECT_EQ(parseLogLines("2024-03-01 10:00:00 - [LOG][a::b:7] text")[0].function, "a::b");
}

}  // namespace
}  // namespace qortest

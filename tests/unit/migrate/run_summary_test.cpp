#include <gtest/gtest.h>

#include "inspect/check.h"
#include "migrate/run_summary.h"

TEST(RunSummary, OneLinePerCollectionThenTheTotals) {
    RunReport report;
    report.record({.name = "tb_audit_log", .outcome = Outcome::migrated, .stagingCount = "0",
                   .completedCount = "3000", .verified = 3000, .seconds = 12});
    report.record({.name = "tb_x", .outcome = Outcome::incomplete, .seconds = 1});
    report.record({.name = "tb_x", .outcome = Outcome::failed, .countsUnreadable = true});
    report.handoffFailed();
    EXPECT_EQ(runSummaryLines(report),
              (std::vector<std::string>{
                  "Summary : tb_audit_log : migrated, verified 3000, staging 0, completed 3000, 12 s",
                  "Summary : tb_x : incomplete, run repair -t tb_x, 1 s",
                  "Summary : tb_x : failed, counts unreadable, 0 s",
                  "Summary : Snowflake ID hand-off : failed",
                  "Summary total : 3 collections, 1 migrated, 1 incomplete, 1 failed"}));
    EXPECT_EQ(report.failures(), (std::vector<std::string>{"Snowflake ID hand-off", "tb_x"}));
    EXPECT_FALSE(report.stopped());
    report.record({.name = "tb_y", .outcome = Outcome::stopped});
    EXPECT_TRUE(report.stopped());
}

TEST(RunSummary, BytesInBinaryUnitsWithTwoDecimals) {
    const struct {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {{0, "0.00 B"}, {1023, "1023.00 B"}, {1536, "1.50 KB"},
                 {123456789, "117.74 MB"}, {1ULL << 60, "1024.00 PB"}};
    for (const auto& c : cases) EXPECT_EQ(formatBytes(c.bytes), c.text);
}

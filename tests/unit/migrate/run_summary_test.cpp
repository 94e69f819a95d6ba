#include <gtest/gtest.h>

#include "inspect/check.h"
#include "migrate/run_summary.h"

TEST(RunSummary, OneLinePerCollectionThenTheTotals) {
    RunReport report;
    report.record({.name = "tb_audit_log", .outcome = Outcome::migrated, .stagingCount = "0",
                   .completedCount = "3000", .seconds = 12});
    report.record({.name = "tb_x", .outcome = Outcome::failed, .seconds = 1});
    report.record({.name = "tb_x", .outcome = Outcome::failed});
    EXPECT_EQ(runSummaryLines(report),
              (std::vector<std::string>{
                  "Summary : tb_audit_log : migrated, staging 0, completed 3000, 12 s",
                  "Summary : tb_x : failed, 1 s", "Summary : tb_x : failed, 0 s",
                  "Summary total : 3 collections, 1 migrated, 2 failed"}));
    EXPECT_EQ(report.failedCollections(), std::vector<std::string>{"tb_x"});
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

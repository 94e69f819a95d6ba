#include "migrate/run_summary.h"

#include <gtest/gtest.h>

namespace {
CollectionRecord recordOf(const std::string& name, Outcome outcome, std::int64_t seconds = 0) {
    CollectionRecord record;
    record.name = name;
    record.outcome = outcome;
    record.seconds = seconds;
    return record;
}

TEST(RunSummary, EachOutcomeHasItsOwnWordsAndCountsShowOnlyWhenRead) {
    struct Case {
        Outcome outcome;
        const char* expected;
    };
    const Case cases[] = {
        {Outcome::migrated, "Summary : tb_x : migrated, 7 s"},
        {Outcome::migratedAfterClearing, "Summary : tb_x : migrated after clearing, 7 s"},
        {Outcome::complete, "Summary : tb_x : complete, 7 s"},
        {Outcome::skippedOverlap, "Summary : tb_x : skipped for overlap, 7 s"},
        {Outcome::differs, "Summary : tb_x : differs from MongoDB, 7 s"},
        {Outcome::empty, "Summary : tb_x : empty, 7 s"},
        {Outcome::failed, "Summary : tb_x : failed, 7 s"},
        {Outcome::refusedName, "Summary : tb_x : refused name, 7 s"},
    };
    for (const Case& c : cases) {
        RunReport report;
        report.record(recordOf("tb_x", c.outcome, 7));
        EXPECT_EQ(runSummaryLines(report).front(), c.expected);
    }

    RunReport counted;
    CollectionRecord both = recordOf("tb_audit_log", Outcome::migrated, 12);
    both.stagingCount = "0";
    both.completedCount = "3000";
    counted.record(both);
    CollectionRecord stagingOnly = recordOf("tb_odd", Outcome::failed);
    stagingOnly.stagingCount = "5";
    counted.record(stagingOnly);
    EXPECT_EQ(runSummaryLines(counted),
              (std::vector<std::string>{
                  "Summary : tb_audit_log : migrated, staging 0, completed 3000, 12 s",
                  "Summary : tb_odd : failed, staging 5, 0 s",
                  "Summary total : 2 collections, 1 migrated, 1 failed"}));
}

TEST(RunSummary, TotalsCountEveryVisitInAFixedOrderWhateverTheVisitingOrder) {
    RunReport report;
    for (Outcome outcome : {Outcome::refusedName, Outcome::failed, Outcome::migrated,
                            Outcome::complete, Outcome::migrated, Outcome::empty,
                            Outcome::differs, Outcome::skippedOverlap,
                            Outcome::migratedAfterClearing, Outcome::failed}) {
        report.record(recordOf("tb_same", outcome));
    }
    EXPECT_EQ(runSummaryLines(report).back(),
              "Summary total : 10 collections, 2 migrated, 1 migrated after clearing, 1 complete, "
              "1 skipped for overlap, 1 differs from MongoDB, 1 empty, 2 failed, 1 refused name");
    EXPECT_EQ(runSummaryLines(report).size(), 11u);

    RunReport one;
    one.record(recordOf("tb_x", Outcome::complete));
    EXPECT_EQ(runSummaryLines(one).back(), "Summary total : 1 collection, 1 complete");
    EXPECT_EQ(runSummaryLines(RunReport{}),
              (std::vector<std::string>{"Summary total : 0 collections"}));
}
}  // namespace

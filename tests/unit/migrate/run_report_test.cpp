#include "migrate/run_report.h"

#include <gtest/gtest.h>

namespace {
CollectionRecord recordOf(const std::string& name, Outcome outcome) {
    CollectionRecord record;
    record.name = name;
    record.outcome = outcome;
    return record;
}

TEST(RunReport, FailedCollectionsAreFailuresAndRefusalsOnceEachInVisitingOrder) {
    RunReport report;
    report.record(recordOf("tb_b", Outcome::failed));
    report.record(recordOf("tb_ok", Outcome::migrated));
    report.record(recordOf("tb_a", Outcome::refusedName));
    for (Outcome fine : {Outcome::migratedAfterClearing, Outcome::complete, Outcome::skippedOverlap,
                         Outcome::differs, Outcome::empty}) {
        report.record(recordOf("tb_fine", fine));
    }
    report.record(recordOf("tb_b", Outcome::failed));
    EXPECT_EQ(report.failedCollections(), (std::vector<std::string>{"tb_b", "tb_a"}));
    EXPECT_EQ(report.records().size(), 9u);
}

TEST(RunReport, NothingFailedNamesNothing) {
    RunReport report;
    EXPECT_TRUE(report.failedCollections().empty());
    report.record(recordOf("tb_ok", Outcome::migrated));
    EXPECT_TRUE(report.failedCollections().empty());
}
}  // namespace

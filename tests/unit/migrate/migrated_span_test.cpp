#include "migrate/migrated_span.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

namespace {
std::optional<MigratedSpan> spanFrom(const std::string& reply,
                                     const std::string& collection = "tb_audit_log") {
    FakeHost fake;
    fake.answer("min(oid) from", reply);
    const auto migrator = makeTestMigrator(fake);
    StdoutCapture out;
    return readMigratedSpan(*migrator, collection);
}

TEST(ReadMigratedSpan, ReadsTheSummaryRowInWholeSeconds) {
    const std::optional<MigratedSpan> span =
        spanFrom("1500\t1704067200999\t1704153599999\t659200800000000000000000\n");
    ASSERT_TRUE(span);
    EXPECT_EQ(span->count, 1500);
    EXPECT_EQ(span->countText, "1500");
    EXPECT_EQ(span->first, 1704067200);
    EXPECT_EQ(span->last, 1704153599);
    EXPECT_EQ(span->firstOid, "659200800000000000000000");
    EXPECT_EQ(span->firstText, "2024-01-01 00:00:00");
    EXPECT_EQ(span->lastText, "2024-01-01 23:59:59");
}

TEST(ReadMigratedSpan, AnEmptyCompletedTableReadsAsNothingMigrated) {
    const std::optional<MigratedSpan> span = spanFrom("0\t0\t0\t\n");
    ASSERT_TRUE(span);
    EXPECT_EQ(span->count, 0);
    EXPECT_EQ(span->firstOid, "");
}

TEST(ReadMigratedSpan, FewerThanFourFieldsGiveNothing) {
    EXPECT_FALSE(spanFrom(""));
    EXPECT_FALSE(spanFrom("5\n"));
    EXPECT_FALSE(spanFrom("5\t1704067200000\t1704153599000\n"));
}

TEST(ReadMigratedSpan, ACountThatIsNotANumberStopsTheRun) {
    EXPECT_THROW(spanFrom("Code: 60.\t0\t0\t\n"), std::invalid_argument);
    EXPECT_THROW(spanFrom("5\tnull\t0\t\n"), std::invalid_argument);
}

TEST(OverlapsMigratedSpan, ClosedRangesSharingOneSecondOverlap) {
    MigratedSpan span;
    span.first = 1000;
    span.last = 2000;
    EXPECT_TRUE(overlapsMigratedSpan(span, 2000, 3000));
    EXPECT_FALSE(overlapsMigratedSpan(span, 2001, 3000));
    EXPECT_TRUE(overlapsMigratedSpan(span, 0, 1000));
    EXPECT_FALSE(overlapsMigratedSpan(span, 0, 999));
    EXPECT_TRUE(overlapsMigratedSpan(span, 1200, 1300));
    EXPECT_TRUE(overlapsMigratedSpan(span, 500, 2500));
}
}  // namespace

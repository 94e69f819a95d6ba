#include "util/dates.h"

#include <gtest/gtest.h>

#include <ctime>

#include "scoped_environment.h"
#include "scratch_directory.h"

namespace {
// Every conversion must give the same answer whatever zone the server is
// set to; each case runs under zones on both sides of UTC.
class DatesInZone : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        zone_.emplace("TZ", GetParam());
        tzset();
    }
    void TearDown() override {
        zone_.reset();
        tzset();
    }

private:
    std::optional<ScopedEnvironment> zone_;
};

TEST_P(DatesInZone, ReadsDateTimesAsUtc) {
    EXPECT_EQ(convertToTimestamp("2025-01-01 00:00:00"), 1735689600);
    EXPECT_EQ(convertToTimestamp("2025-01-01"), 1735689600);
    EXPECT_EQ(convertToTimestamp("2025-01-01 23:59:59"), 1735775999);
    EXPECT_EQ(convertToTimestamp("2025-02-31 00:00:00"), convertToTimestamp("2025-03-03 00:00:00"));
    EXPECT_EQ(convertToTimestamp("2024-03-05 10:20:30 trailing"), 1709634030);
}

TEST_P(DatesInZone, FormatsUtc) {
    EXPECT_EQ(formatTime(1735775999, "%Y-%m-%d %H:%M:%S"), "2025-01-01 23:59:59");
    EXPECT_EQ(formatTime(0, "%Y-%m-%d %H:%M:%S"), "1970-01-01 00:00:00");
}

INSTANTIATE_TEST_SUITE_P(Zones, DatesInZone,
                         ::testing::Values("UTC", "Asia/Seoul", "America/New_York",
                                           "Pacific/Chatham"));

TEST(ConvertToTimestamp, RefusesMalformedTextWithDiagnostic) {
    for (const char* text : {"2025-13-01 00:00:00", "2025-1-01 00:00:00", "2025/01/01",
                             "2025-01-01 24:00:00", "2025-01-01T00:00:00", "abc"}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(convertToTimestamp(text), 0) << text;
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Failed to parse date string.\n")
            << text;
    }
}

TEST(IsValidDate, AcceptsOnlyTheWholeFourTwoTwoForm) {
    EXPECT_TRUE(isValidDate("2025-01-01"));
    EXPECT_TRUE(isValidDate("2025-13-45"));
    for (const char* text : {"2025-1-01", "2025/01/01", "x2025-01-01", "2025-01-01 ",
                             "2025-01-01\n", "", "20250-01-01", "２０２５-01-01"}) {
        EXPECT_FALSE(isValidDate(text)) << text;
    }
}

TEST(ObjectIds, BoundTheWholeSecond) {
    EXPECT_EQ(makeObjectIdFromTime(1704067200), "659200800000000000000000");
    EXPECT_EQ(makeObjectIdFromTime(0), std::string(24, '0'));
    EXPECT_EQ(makeObjectIdFromTime(4294967295), "ffffffff0000000000000000");
    EXPECT_EQ(makeLastObjectIdOfTime(1704067200), "65920080ffffffffffffffff");
    // Every id of the second sorts between the two bounds.
    EXPECT_LT(makeObjectIdFromTime(1704067200), "659200801a2b3c4d5e6f7a8b");
    EXPECT_GT(makeLastObjectIdOfTime(1704067200), "659200801a2b3c4d5e6f7a8b");
    EXPECT_LT(makeLastObjectIdOfTime(1704067200), makeObjectIdFromTime(1704067201));
}

TEST(ConvertIsoDateTime, DropsTheMarkerAndTheFraction) {
    EXPECT_EQ(convertIsoDateTime("2024-05-01T08:15:30.123Z"), "2024-05-01 08:15:30");
    EXPECT_EQ(convertIsoDateTime("2024-05-01T08:15:30Z"), "2024-05-01 08:15:30Z");
    EXPECT_EQ(convertIsoDateTime("2024-05-01 08:15:30"), "2024-05-01 08:15:30");
}
}  // namespace

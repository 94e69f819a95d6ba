#include "migrate/report_windows.h"

#include <gtest/gtest.h>

#include "util/dates.h"

namespace {
std::int64_t at(const char* dateTime) { return convertToTimestamp(dateTime); }

std::string text(std::int64_t seconds) { return formatTime(seconds, "%Y-%m-%d %H:%M:%S"); }

// Newest first, no gap, no overlap, nothing longer than the interval, and
// exactly the span from `oldest` to `newest`.
void expectTiling(const std::vector<ReportWindow>& windows, std::int64_t newest,
                  std::int64_t oldest, std::int64_t length) {
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows.front().newest, newest);
    EXPECT_EQ(windows.back().oldest, oldest);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        EXPECT_LE(windows[i].oldest, windows[i].newest) << i;
        EXPECT_LE(windows[i].newest - windows[i].oldest + 1, length) << i;
        if (i + 1 < windows.size()) EXPECT_EQ(windows[i].oldest, windows[i + 1].newest + 1) << i;
    }
}

const std::int64_t twoDaysEnd = at("2024-03-02 23:59:59");
const std::int64_t twoDaysStart = at("2024-03-01 00:00:00");

TEST(ReportWindows, DayWindowsOverTwoDaysTakeInBothEdgeSeconds) {
    const std::vector<ReportWindow> windows = planReportWindows(twoDaysEnd, twoDaysStart, 24);
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(text(windows[0].newest), "2024-03-02 23:59:59");
    EXPECT_EQ(text(windows[0].oldest), "2024-03-02 00:00:00");
    EXPECT_EQ(text(windows[1].newest), "2024-03-01 23:59:59");
    EXPECT_EQ(text(windows[1].oldest), "2024-03-01 00:00:00");

    EXPECT_EQ(windows[0].upperObjectId(), makeObjectIdFromTime(twoDaysEnd).substr(0, 8) + "ffffffffffffffff");
    EXPECT_EQ(windows[0].lowerObjectId(), makeObjectIdFromTime(at("2024-03-02 00:00:00")));
    EXPECT_EQ(windows[1].upperObjectId(), makeLastObjectIdOfTime(at("2024-03-01 23:59:59")));
    EXPECT_EQ(windows[1].lowerObjectId(), "65e11a800000000000000000");
}

TEST(ReportWindows, OneWindowWhenTheIntervalSpansEverything) {
    const std::vector<ReportWindow> windows = planReportWindows(twoDaysEnd, twoDaysStart, 48);
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].newest, twoDaysEnd);
    EXPECT_EQ(windows[0].oldest, twoDaysStart);
}

TEST(ReportWindows, SpanNotAMultipleOfTheIntervalEndsWithAShortWindow) {
    const std::vector<ReportWindow> windows = planReportWindows(twoDaysEnd, twoDaysStart, 10);
    ASSERT_EQ(windows.size(), 5u);
    expectTiling(windows, twoDaysEnd, twoDaysStart, 10 * 3600);
    EXPECT_EQ(text(windows[3].oldest), "2024-03-01 08:00:00");
    EXPECT_EQ(text(windows[4].newest), "2024-03-01 07:59:59");
    EXPECT_EQ(windows[4].newest - windows[4].oldest + 1, 8 * 3600);
}

TEST(ReportWindows, EveryIntervalTilesTheSpanExactly) {
    for (const std::int32_t hours : {1, 5, 7, 23, 24, 25, 48, 1000}) {
        SCOPED_TRACE(hours);
        expectTiling(planReportWindows(twoDaysEnd, twoDaysStart, hours), twoDaysEnd, twoDaysStart,
                     std::int64_t{hours} * 3600);
    }
    // A span of exactly one interval plus its oldest second: the oldest
    // second gets a window of its own rather than stretching the last one.
    const std::vector<ReportWindow> exact = planReportWindows(twoDaysStart + 3600, twoDaysStart, 1);
    ASSERT_EQ(exact.size(), 2u);
    EXPECT_EQ(exact[0].oldest, twoDaysStart + 1);
    EXPECT_EQ(exact[1].newest, twoDaysStart);
    EXPECT_EQ(exact[1].oldest, twoDaysStart);
}

TEST(ReportWindows, DegenerateSpansAndIntervals) {
    EXPECT_TRUE(planReportWindows(twoDaysStart - 1, twoDaysStart, 24).empty());

    const std::vector<ReportWindow> oneSecond = planReportWindows(twoDaysStart, twoDaysStart, 24);
    ASSERT_EQ(oneSecond.size(), 1u);
    EXPECT_EQ(oneSecond[0].newest, twoDaysStart);
    EXPECT_EQ(oneSecond[0].oldest, twoDaysStart);

    for (const std::int32_t hours : {0, -5}) {
        SCOPED_TRACE(hours);
        const std::vector<ReportWindow> windows = planReportWindows(twoDaysEnd, twoDaysStart, hours);
        EXPECT_EQ(windows.size(), 48u);
        expectTiling(windows, twoDaysEnd, twoDaysStart, 3600);
    }
}
}  // namespace

#include <gtest/gtest.h>

#include "migrate/report_windows.h"
#include "util/dates.h"

namespace {
std::int64_t at(const char* text) { return convertToTimestamp(text); }
}  // namespace

TEST(ReportWindows, CoverEverySecondOnceNewestFirst) {
    const struct {
        const char* newest;
        const char* oldest;
        std::int32_t hours;
        std::vector<std::pair<const char*, const char*>> windows;
    } cases[] = {
        {"2024-03-02 23:59:59", "2024-03-01 00:00:00", 24,
         {{"2024-03-02 23:59:59", "2024-03-02 00:00:00"},
          {"2024-03-01 23:59:59", "2024-03-01 00:00:00"}}},
        {"2024-03-02 23:59:59", "2024-03-01 00:00:00", 48,
         {{"2024-03-02 23:59:59", "2024-03-01 00:00:00"}}},
        {"2024-03-01 10:00:00", "2024-03-01 10:00:00", 24,
         {{"2024-03-01 10:00:00", "2024-03-01 10:00:00"}}},
        {"2024-03-01 02:00:00", "2024-03-01 00:00:00", 0,
         {{"2024-03-01 02:00:00", "2024-03-01 01:00:01"},
          {"2024-03-01 01:00:00", "2024-03-01 00:00:01"},
          {"2024-03-01 00:00:00", "2024-03-01 00:00:00"}}},
        {"2024-03-01 00:00:00", "2024-03-02 00:00:00", 24, {}},
    };
    for (const auto& c : cases) {
        const std::vector<ReportWindow> windows = planReportWindows(at(c.newest), at(c.oldest), c.hours);
        ASSERT_EQ(windows.size(), c.windows.size()) << c.newest << " " << c.hours;
        for (std::size_t i = 0; i < windows.size(); ++i) {
            EXPECT_EQ(windows[i].newest, at(c.windows[i].first));
            EXPECT_EQ(windows[i].oldest, at(c.windows[i].second));
        }
    }
}

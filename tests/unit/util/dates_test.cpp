#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "util/dates.h"

TEST(Dates, ReadDateTimesAsUtcWhateverTheZone) {
    const struct {
        const char* text;
        std::int64_t seconds;
    } cases[] = {
        {"2025-01-01 00:00:00", 1735689600}, {"2025-01-01", 1735689600},
        {"2025-01-01 23:59:59", 1735775999}, {"2025-02-31 00:00:00", 1740960000},
        {"2025-13-01 00:00:00", 0},          {"2025-01-01 24:00:00", 0},
        {"25-01-01", 0},
    };
    for (const char* zone : {"UTC", "Asia/Seoul", "America/Los_Angeles"}) {
        setenv("TZ", zone, 1);
        tzset();  // localtime_r reads TZ once otherwise, and would never show a zone
        for (const auto& c : cases) EXPECT_EQ(convertToTimestamp(c.text), c.seconds) << c.text;
        EXPECT_EQ(formatTime(1735775999, "%Y-%m-%d %H:%M:%S"), "2025-01-01 23:59:59");
    }
    unsetenv("TZ");
}

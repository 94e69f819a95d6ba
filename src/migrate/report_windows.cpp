#include "migrate/report_windows.h"

#include <algorithm>

#include "util/dates.h"

std::string ReportWindow::upperObjectId() const { return makeLastObjectIdOfTime(newest); }

std::string ReportWindow::lowerObjectId() const { return makeObjectIdFromTime(oldest); }

std::vector<ReportWindow> planReportWindows(std::int64_t newest, std::int64_t oldest,
                                            std::int32_t intervalHours) {
    const std::int64_t length = std::int64_t{std::max(intervalHours, 1)} * 3600;
    std::vector<ReportWindow> windows;
    if (newest < oldest) return windows;
    // A window (lo, hi] holds `length` seconds; the oldest one is closed at
    // `oldest` instead, and only when that keeps it within `length`.
    for (std::int64_t hi = newest;;) {
        const std::int64_t lo = hi - length;
        if (lo < oldest) {
            windows.push_back({hi, oldest});
            return windows;
        }
        windows.push_back({hi, lo + 1});
        hi = lo;
    }
}

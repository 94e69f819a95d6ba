#pragma once
// The time windows in which a report collection is moved: newest first, each
// at most `interval` hours of ObjectId time, together covering every second
// from the oldest to the newest exactly once.

#include <cstdint>
#include <string>
#include <vector>

struct ReportWindow {
    std::int64_t newest;  // epoch seconds, both ends inclusive
    std::int64_t oldest;

    // The ObjectId bounds that take in the whole of both end seconds.
    std::string upperObjectId() const;
    std::string lowerObjectId() const;
};

// Windows from `newest` down to `oldest`, both inclusive. Each window but the
// oldest starts one second after the next older one ends; the oldest window
// starts at `oldest` itself. No window is longer than the interval, and an
// interval below one hour counts as one hour, so the walk always ends. A span
// that ends before it begins has no window.
std::vector<ReportWindow> planReportWindows(std::int64_t newest, std::int64_t oldest,
                                            std::int32_t intervalHours);

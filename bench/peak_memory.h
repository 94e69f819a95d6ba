#pragma once
// Peak resident memory of this process alone (children not included), in
// KiB: what the tool itself costs, whatever its pipeline costs.

#include <sys/resource.h>

inline long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

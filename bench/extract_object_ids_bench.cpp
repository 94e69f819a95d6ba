// extractObjectIds on an existing exporter file: prints the lines read, the
// seconds spent and the peak memory of this process. bench/run makes the
// file, runs sed on it for comparison and checks that the outputs match.
// Usage: extract_object_ids_bench INPUT OUTPUT

#include <chrono>
#include <cstdio>

#include "migrate/object_id_list.h"
#include "peak_memory.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::int32_t lines = extractObjectIds(argv[1], argv[2]);
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    std::printf("lines=%d seconds=%.3f peak_kib=%ld\n", lines, spent.count(), peakResidentKiB());
    return lines < 0 ? 1 : 0;
}

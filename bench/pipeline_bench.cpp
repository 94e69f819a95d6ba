// One export-and-load step of a whole collection, exactly as a run makes it:
// prints the seconds between the start and the end of the step and the
// peak memory of this process. The outside programs are whatever PATH
// finds (bench/run points it at the test doubles and the chDB stand-in).
// Usage: pipeline_bench COLLECTION

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "migrate/movers.h"
#include "peak_memory.h"

namespace {
std::string env(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s COLLECTION\n", argv[0]);
        return 2;
    }
    const OlapMigrator run{
        .mongo = {"127.0.0.1", env("QOR_MONGO_USER", "mongouser"), env("QOR_MONGO_PASSWORD", "mongopass")},
        .clickhouse = {"127.0.0.1", env("QOR_CH_USER", "chuser"), env("QOR_CH_PASSWORD", "chpass")},
        .host = realHost(),
    };
    const auto start = std::chrono::steady_clock::now();
    const bool moved = executeMigrationCommand(run, argv[1], "", "");
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "seconds=%.3f peak_kib=%ld moved=%d\n", spent.count(), peakResidentKiB(),
                 moved ? 1 : 0);
    return moved ? 0 : 1;
}

// One export-and-load step of a whole collection and its verification,
// exactly as a run makes them: prints the seconds of both and the peak
// memory of this process. The outside programs are whatever PATH finds
// (bench/run points it at the test doubles and the chDB stand-in).
// Usage: pipeline_bench COLLECTION

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "migrate/collection_kind.h"
#include "migrate/movers.h"
#include "migrate/verify.h"
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
    RunParameters parameters;
    parameters.startedAt = realHost().now();
    const OlapMigrator run{
        .mongo = {"127.0.0.1", env("QOR_MONGO_USER", "mongouser"), env("QOR_MONGO_PASSWORD", "mongopass")},
        .clickhouse = {"127.0.0.1", env("QOR_CH_USER", "chuser"), env("QOR_CH_PASSWORD", "chpass")},
        .parameters = parameters,
        .host = realHost(),
    };
    const auto start = std::chrono::steady_clock::now();
    const bool moved = executeMigrationCommand(run, argv[1], "", "");
    const auto loaded = std::chrono::steady_clock::now();
    const ObjectIdSpan everything{.lower = std::string(24, '0'), .upper = std::string(24, 'f')};
    const std::optional<SpanFindings> found = verifyMigratedSpan(run, kindOf(argv[1]), everything);
    const bool verified = found && found->whole();
    const std::chrono::duration<double> loading = loaded - start;
    const std::chrono::duration<double> verifying = std::chrono::steady_clock::now() - loaded;
    std::fprintf(stderr, "load_seconds=%.3f verify_seconds=%.3f peak_kib=%ld moved=%d verified=%d\n",
                 loading.count(), verifying.count(), peakResidentKiB(), moved ? 1 : 0, verified ? 1 : 0);
    return moved && verified ? 0 : 1;
}

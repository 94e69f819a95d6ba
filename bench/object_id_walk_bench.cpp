// Walks an ObjectId list in batches the way the report pass does, with a
// host whose pipelines only count, so that the figure is the walk's own:
// prints the seconds, the batches and the peak memory of this process.
// The list is the work file below QOROLAPMIGRATE_ROOT, and is removed at
// the end as in a run. Usage: object_id_walk_bench BATCH_COUNT

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "migrate/movers.h"
#include "peak_memory.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s BATCH_COUNT\n", argv[0]);
        return 2;
    }
    // Three log lines per batch would drown the figure.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    PipelineId pipelines = 0;
    PipelineId reported = 0;
    Host host = realHost();
    host.startPipeline = [&pipelines](const ShellCommand&, const ShellCommand&) { return ++pipelines; };
    host.awaitPipeline = [&](unsigned) -> std::optional<EndedPipeline> {
        if (reported == pipelines) return std::nullopt;
        return EndedPipeline{++reported, {childStatusFromWait(0), childStatusFromWait(0)}};
    };
    RunParameters parameters;
    parameters.batchCount = std::atoi(argv[1]);
    const OlapMigrator run{.parameters = parameters, .host = host};
    const auto start = std::chrono::steady_clock::now();
    const bool walked = tb_base_report_data_migration(run, "tb_base_report_data");
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "seconds=%.3f batches=%llu peak_kib=%ld\n", spent.count(),
                 static_cast<unsigned long long>(pipelines),
                 peakResidentKiB());
    return walked ? 0 : 1;
}

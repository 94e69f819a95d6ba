#include <algorithm>
#include <map>
#include <utility>

#include "exec/clickhouse_statements.h"
#include "exec/mongo_export_commands.h"
#include "exec/pipeline_pool.h"
#include "exec/private_file.h"
#include "migrate/movers.h"
#include "migrate/report_windows.h"
#include "util/catalogue.h"
#include "util/dates.h"
#include "util/log.h"

namespace {
// clickhouse-client refuses an insert with nothing to read (code 108): a
// window or range without documents, not a failed load.
constexpr int noDataToInsert = 108;

bool dataMoved(const PipelineStatus& status) {
    if (!status.producer.succeeded()) return false;
    return status.consumer.succeeded() || status.consumer.code == noDataToInsert;
}

// Operators know these lines by the name of the step that wrote them first.
constexpr const char* loggedAs = "executeMigrationCommand";
}  // namespace

bool moveLoads(const OlapMigrator& run, const std::string& collection,
               const std::function<std::optional<Load>()>& next, const Tick& tick) {
    const std::string name = toOlapTableName(collection);
    const ShellCommand loader = clickhouseLoadCommand(run.clickhouse, stagingTableName(collection));
    // Progress lines of several exporters would interleave; the tool says
    // how far the collection is instead.
    const std::string quiet = run.parameters.jobs > 1 ? " --quiet" : "";
    std::map<std::size_t, Load> running;
    std::size_t handedOut = 0;
    bool everyLoadMoved = true;
    const auto start = [&]() -> std::optional<PipelineJob> {
        std::optional<Load> load = next();
        if (!load) return std::nullopt;
        PipelineJob job{exportCommand(run.mongo, collection, load->queryOption + quiet, exportConfigPath()), loader};
        running.emplace(handedOut++, std::move(*load));
        LOG_AS(loggedAs, name, " table migration start");
        return job;
    };
    const auto end = [&](std::size_t job, const PipelineStatus& status) {
        LOG_AS(loggedAs, name, " table migration end");
        const bool moved = dataMoved(status);
        if (!moved)
            LOG_AS(loggedAs, name, " table migration failed (mongoexport exit ", status.producer.code,
                   ", clickhouse-client exit ", status.consumer.code, ")");
        everyLoadMoved = everyLoadMoved && moved;
        const auto load = running.find(job);
        if (load->second.done) load->second.done(moved);
        running.erase(load);
    };
    runPipelines(run.host, static_cast<std::size_t>(std::max(run.parameters.jobs, 1)), start, end, tick);
    return everyLoadMoved && run.host.stopSignal() == 0;
}

bool executeMigrationCommand(const OlapMigrator& run, const std::string& collection,
                             const std::string& upper, const std::string& lower, const Tick& tick) {
    std::optional<Load> only = Load{exportQueryOption(upper, lower)};
    return moveLoads(run, collection, [&only] { return std::exchange(only, std::nullopt); }, tick);
}

bool moveWindows(const OlapMigrator& run, const std::string& collection, std::string_view loggedAs,
                 const Plan& plan, const Tick& tick) {
    constexpr const char* pattern = "%Y-%m-%d %H:%M:%S";
    const std::vector<ReportWindow> windows =
        planReportWindows(plan.newest, plan.oldest, run.parameters.interval);
    std::size_t nextWindow = 0;
    return moveLoads(
        run, collection,
        [&]() -> std::optional<Load> {
            if (nextWindow == windows.size()) return std::nullopt;
            const ReportWindow& window = windows[nextWindow++];
            LOG_AS(loggedAs, "migration table : ", formatTime(window.newest, pattern), "  ~ ",
                   formatTime(window.oldest, pattern));
            const std::string upper = &window == &windows.front()
                                          ? std::max(window.upperObjectId(), plan.upperOid)
                                          : window.upperObjectId();
            const std::string lower = &window == &windows.back()
                                          ? std::min(window.lowerObjectId(), plan.lowerOid)
                                          : window.lowerObjectId();
            return Load{exportQueryOption(upper, lower)};
        },
        tick);
}

#include <algorithm>

#include "exec/commands.h"
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
}  // namespace

namespace {
// Operators grep these lines by the function that wrote them before the
// movers shared this step.
constexpr const char* loggedAs = "executeMigrationCommand";

bool exportAndLoad(const OlapMigrator& run, const std::string& collection,
                   const std::string& queryOption) {
    const std::string name = toOlapTableName(collection);
    const ShellCommand exporter = exportCommand(run.mongo, collection, queryOption, exportConfigPath());
    const ShellCommand loader = clickhouseLoadCommand(run.clickhouse, stagingTableName(collection));

    LOG_AS(loggedAs, name, " table migration start");
    const PipelineStatus status = run.host.runPipeline(exporter, loader);
    LOG_AS(loggedAs, name, " table migration end");
    if (dataMoved(status)) return true;
    LOG_AS(loggedAs, name, " table migration failed (mongoexport exit ", status.producer.code,
           ", clickhouse-client exit ", status.consumer.code, ")");
    return false;
}
}  // namespace

bool executeMigrationCommand(const OlapMigrator& run, const std::string& collection,
                             const std::string& upper, const std::string& lower) {
    return exportAndLoad(run, collection, exportQueryOption(upper, lower));
}

bool moveQueriedDocuments(const OlapMigrator& run, const std::string& collection,
                          const std::string& queryFile) {
    return exportAndLoad(run, collection, queryFileOption(queryFile));
}

bool moveWindows(const OlapMigrator& run, const std::string& collection, std::string_view loggedAs,
                 const Plan& plan) {
    constexpr const char* pattern = "%Y-%m-%d %H:%M:%S";
    bool everyWindowMoved = true;
    const std::vector<ReportWindow> windows =
        planReportWindows(plan.newest, plan.oldest, run.parameters.interval);
    for (const ReportWindow& window : windows) {
        if (run.host.stopSignal() != 0) return false;
        LOG_AS(loggedAs, "migration table : ", formatTime(window.newest, pattern), "  ~ ",
               formatTime(window.oldest, pattern));
        const std::string upper = &window == &windows.front()
                                      ? std::max(window.upperObjectId(), plan.upperOid)
                                      : window.upperObjectId();
        const std::string lower = &window == &windows.back()
                                      ? std::min(window.lowerObjectId(), plan.lowerOid)
                                      : window.lowerObjectId();
        if (!executeMigrationCommand(run, collection, upper, lower)) everyWindowMoved = false;
    }
    return everyWindowMoved;
}

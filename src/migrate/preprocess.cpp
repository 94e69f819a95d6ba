#include "migrate/preprocess.h"

#include <array>
#include <string_view>

#include "exec/clickhouse_statements.h"
#include "exec/mongo_shell_scripts.h"
#include "exec/runners.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
constexpr std::array<std::string_view, 3> convertedCollections = {
    "tb_report_data", "tb_report_summary_data", "tb_base_report_data"};
constexpr std::string_view preprocessKey = "report_preprocess";
}  // namespace

Preprocessing executeReportTypePreprocessCommand(const OlapMigrator& run) {
    const QueryResult done = getClickHouseQueryResult(run.clickhouse, preprocessCheckSql(), run.host);
    if (done.fields.empty()) {
        LOG("report collection type preprocessing could not be checked (", done.failure(), ")");
        return Preprocessing::unchecked;
    }
    if (parseLeadingInt64(done.fields.front()) != 0) return Preprocessing::done;

    // Only a conversion that ended well may be taken as done: a row written
    // after a failed one would keep text values in merge_seq for good.
    bool allConverted = true;
    for (const std::string_view name : convertedCollections) {
        LOG(name, " collection type preprocessing start");
        const CallStatus converted{run.host.run(mergeSeqConversionCommand(run.mongo, name)), "mongosh"};
        LOG(name, " collection type preprocessing end");
        if (converted.failed()) {
            LOG(name, " collection type preprocessing failed (", converted.failure(), ")");
            allConverted = false;
        }
    }
    if (!allConverted) return Preprocessing::notDone;
    const CallStatus recorded =
        executeClickHouseCommand(run.clickhouse, preprocessRecordSql(preprocessKey), run.host);
    if (recorded.failed()) {
        LOG("report collection type preprocessing could not be recorded (", recorded.failure(), ")");
        return Preprocessing::notDone;
    }
    return Preprocessing::done;
}

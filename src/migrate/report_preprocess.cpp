// The one-time `merge_seq` conversion of the report collections, recorded in
// ClickHouse so that later runs leave MongoDB alone.

#include <array>
#include <string_view>

#include "app/context.h"
#include "exec/commands.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
constexpr std::array<std::string_view, 3> convertedCollections = {
    "tb_report_data", "tb_report_summary_data", "tb_base_report_data"};
constexpr std::string_view preprocessKey = "report_preprocess";
}  // namespace

void OlapMigrator::executeReportTypePreprocessCommand() const {
    const QueryResult done = getClickHouseQueryResult(preprocessCheckSql());
    if (done.fields.empty()) return;
    if (parseLeadingInt64(done.fields.front()) != 0) return;

    // Only a conversion that ended well may be taken as done: a row written
    // after a failed one would keep text values in merge_seq for good.
    bool allConverted = true;
    for (const std::string_view name : convertedCollections) {
        LOG(name, " collection type preprocessing start");
        const ChildStatus status = host_.run(mergeSeqConversionCommand(mongoLogin(), name));
        LOG(name, " collection type preprocessing end");
        if (!status.succeeded()) {
            LOG(name, " collection type preprocessing failed");
            allConverted = false;
        }
    }
    if (allConverted) executeClickHouseCommand(preprocessRecordSql(preprocessKey));
}

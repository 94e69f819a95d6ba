#include "app/context.h"
#include "exec/commands.h"
#include "migrate/table_names.h"
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

bool OlapMigrator::executeMigrationCommand(const std::string& collection, const std::string& upper,
                                           const std::string& lower) const {
    const std::string name = toOlapTableName(collection);
    const std::string exporter =
        exportCommand(mongoLogin(), collection, exportQueryOption(upper, lower));
    const std::string loader = clickhouseLoadCommand(clickHouseLogin(), stagingTableName(collection));

    LOG(name, " table migration start");
    const PipelineStatus status = host_.runPipeline(exporter, loader);
    LOG(name, " table migration end");
    if (dataMoved(status)) return true;
    LOG(name, " table migration failed (mongoexport exit ", status.producer.code,
        ", clickhouse-client exit ", status.consumer.code, ")");
    return false;
}

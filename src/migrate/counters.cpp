#include "app/catalogue.h"
#include "app/context.h"
#include "exec/commands.h"
#include "migrate/table_names.h"
#include "util/log.h"
#include "util/parsers.h"

std::int32_t OlapMigrator::getMigrationCount(const std::string& collection,
                                             std::string& stagingCount,
                                             std::string& completedCount) const {
    const QueryResult result = getClickHouseQueryResult(::migCountSql(toOlapTableName(collection)));
    // Two counts or nothing: a reply cut short is as unreadable as none.
    if (result.fields.size() < 2) {
        LOG("Split String Error");
        return -1;
    }
    stagingCount = removeNewlines(result.fields[0]);
    completedCount = removeNewlines(result.fields[1]);
    LOG("migration temp table count : ", stagingCount);
    LOG("migration completed table count : ", completedCount);
    return 0;
}

namespace {
// The report collections carry their own time field; every other collection
// is dated by the time inside its ObjectIds.
EdgeField edgeFieldOf(const std::string& collection) {
    if (collection == "tb_base_report_data") return EdgeField::dataDate;
    if (isReportTable(collection)) return EdgeField::createTime;
    return EdgeField::objectId;
}
}  // namespace

std::string OlapMigrator::getCollectionEdgeTime(const std::string& collection,
                                                std::int32_t direction) const {
    const std::string command =
        edgeTimeCommand(mongoLogin(), collection, edgeFieldOf(collection), direction);
    return removeNewlines(executeCommand(command, host_).text);
}

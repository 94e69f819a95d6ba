#include "migrate/collection_kind.h"

#include "util/catalogue.h"
#include "util/dates.h"

CollectionKind kindOf(const std::string& collection) {
    CollectionKind kind;
    kind.name = collection;
    kind.olapName = toOlapTableName(collection);
    kind.stagingTable = stagingTableName(collection);
    kind.completedTable = completedTableName(collection);
    const bool baseReport = collection == "tb_base_report_data";
    kind.isReport = baseReport || collection == "tb_report_status" ||
                    collection == "tb_report_summary_data" || collection == "tb_report_data";
    if (!kind.isReport) {
        kind.clearingTimeExpression = "server_time/1000";
        kind.loggedAs = "generalTableMigration";
        kind.settleSeconds = 2;
        return kind;
    }
    kind.timeField = baseReport ? EdgeField::dataDate : EdgeField::createTime;
    kind.mover = baseReport ? Move::objectIdList : Move::windows;
    kind.clearingTimeExpression = "toUnixTimestamp(toDateTime(create_time, 'UTC'))";
    kind.loggedAs = "reportTableMigration";
    return kind;
}

ObjectIdSpan verifiedSpan(const CollectionKind& kind, const std::string& oldestOid,
                          const std::string& newestOid, const RunParameters& parameters) {
    if (parameters.hasDateRange()) {
        return {.lower = makeObjectIdFromTime(convertToTimestamp(parameters.startTime + " 00:00:00")),
                .upper = makeLastObjectIdOfTime(convertToTimestamp(parameters.endTime + " 23:59:59"))};
    }
    // Without dates the ObjectId list takes nothing at or below the age
    // floor, so only what lies above it can be found complete or not.
    if (kind.mover == Move::objectIdList)
        return {.lower = makeObjectIdFromTime(parameters.exportFloorTime()), .lowerExclusive = true,
                .upper = newestOid};
    return {.lower = oldestOid, .upper = newestOid};
}

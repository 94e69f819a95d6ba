#include "migrate/collection_kind.h"

#include "util/catalogue.h"

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

#include "migrate/clearing.h"

#include "exec/commands.h"
#include "exec/runners.h"
#include "util/log.h"

bool deleteOriginalTable(const OlapMigrator& run, const CollectionKind& kind, const Clearing& clearing) {
    LOG(kind.name, " table data delete (", clearing.toTime, " ~ ", clearing.fromTime, ")");
    const auto statement = [&run](const std::string& sql) {
        return executeClickHouseCommand(run.clickhouse, sql, run.host);
    };
    // No delete has been sent yet, whatever became of the mark.
    const CallStatus marked = statement(retryMarkSql(kind.completedTable));
    if (marked.failed()) {
        LOG(kind.name, " table data could not be deleted (", marked.failure(), "), nothing was cleared");
        return false;
    }
    const CallStatus target =
        statement(deleteRangeSql(kind.olapName, kind.clearingTimeExpression, clearing.fromTime, clearing.toTime));
    if (target.failed()) {
        // A client that gave up waiting says nothing of the server, which may
        // have deleted the rows all the same: the mark stays, so that no run
        // verifies a target that may have lost them.
        LOG(kind.name, " table data delete failed (", target.failure(), "), its outcome is unknown: ",
            kind.completedTable, " stays marked, run retry -t ", kind.name, " again");
        return false;
    }
    const CallStatus completed = statement(deleteCompletedSql(kind.completedTable, clearing.completed));
    if (completed.failed()) {
        LOG(kind.name, " table data could not be deleted from ", kind.completedTable, " (",
            completed.failure(), ") after its rows in ", kind.olapName,
            " were: it stays marked, run retry -t ", kind.name, " again");
        return false;
    }
    // Both tables agree again; a mark that stays keeps the collection from
    // being verified, so the move goes on and the run still ends 1.
    const CallStatus unmarked = statement(retryUnmarkSql(kind.completedTable));
    if (unmarked.failed())
        LOG(kind.name, " retry mark could not be removed (", unmarked.failure(), "), run retry -t ",
            kind.name, " again");
    return true;
}

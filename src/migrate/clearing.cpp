#include "migrate/clearing.h"

#include "compare/compare_span.h"
#include "exec/clickhouse_statements.h"
#include "exec/runners.h"
#include "util/log.h"

namespace {
constexpr const char* loggedAs = "deleteOriginalTable";

// The rows of documents MongoDB let go are history that no other copy
// keeps: a clearing deletes them only when the administrator said so, and
// says how many first.
bool historyMayGo(const OlapMigrator& run, const CollectionKind& kind, const Clearing& clearing) {
    const ComparedCollection collection{run.mongo, run.clickhouse, kind.name, kind.completedTable, {}, true};
    const SpanComparison compared = compareSpan(collection, clearing.completed, run.host);
    if (!compared.findings) {
        LOG_AS(loggedAs, kind.name, " table data could not be deleted (the rows of documents MongoDB no longer holds could "
            "not be counted: ", compared.why, "), nothing was cleared");
        return false;
    }
    const std::int64_t letGo = compared.findings->letGo;
    if (letGo == 0) return true;
    if (!run.parameters.deleteHistory) {
        LOG_AS(loggedAs, kind.name, " table data would lose ", letGo, " rows of documents MongoDB no longer holds, "
            "nothing was cleared: run retry -t ", kind.name, " --delete-history to delete them too");
        return false;
    }
    LOG_AS(loggedAs, kind.name, " table data delete takes ", letGo, " rows of documents MongoDB no longer holds with it");
    return true;
}
}  // namespace

bool deleteOriginalTable(const OlapMigrator& run, const CollectionKind& kind, const Clearing& clearing) {
    if (!historyMayGo(run, kind, clearing)) return false;
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

#include "migrate/collection_state.h"

#include "exec/runners.h"
#include "migrate/counters.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
enum class Read { done, failed, unreadableTime };

Read readFailed(const CollectionKind& kind, const CallStatus& call) {
    LOG_AS(kind.loggedAs, kind.name, " collection could not be read from MongoDB (", call.failure(),
           ")");
    return Read::failed;
}

// An edge time as date-time text; nothing when MongoDB printed nothing.
Read readEdgeTime(const OlapMigrator& run, const CollectionKind& kind, int direction,
                  std::optional<std::string>& time) {
    const CommandOutput printed = getCollectionEdgeTime(run, kind, direction);
    if (printed.failed()) return readFailed(kind, printed);
    if (printed.text.empty()) return Read::done;
    time = getDataStr(printed.text);
    return time ? Read::done : Read::unreadableTime;
}

// The oldest (1) or newest (-1) `_id`; empty when the collection is empty.
Read readEdgeObjectId(const OlapMigrator& run, const CollectionKind& kind, int direction,
                      std::string& oid) {
    const CommandOutput printed =
        executeCommand(edgeObjectIdCommand(run.mongo, kind.name, direction), run.host);
    if (printed.failed()) return readFailed(kind, printed);
    const std::string line = removeNewlines(printed.text);
    if (line.empty()) return Read::done;
    const std::optional<std::string> id = objectIdIn(line);
    if (!id) {
        LOG_AS(kind.loggedAs, kind.name, " collection could not be read from MongoDB (no ObjectId in \"",
               line, "\")");
        return Read::failed;
    }
    oid = *id;
    return Read::done;
}

Read readEdges(const OlapMigrator& run, const CollectionKind& kind, MongoEdges& edges) {
    const Read oldest = readEdgeObjectId(run, kind, 1, edges.oldestOid);
    if (oldest != Read::done) return oldest;
    const RunParameters& parameters = run.parameters;
    const bool datedByField = kind.timeField != EdgeField::objectId;
    if (parameters.hasDateRange() || edges.oldestOid.empty()) return Read::done;
    if (!datedByField && !parameters.retryMode) return Read::done;
    const Read newest = readEdgeObjectId(run, kind, -1, edges.newestOid);
    if (newest != Read::done) return newest;
    if (datedByField) {
        const Read read = readEdgeTime(run, kind, 1, edges.oldestTime);
        if (read != Read::done) return read;
    }
    return readEdgeTime(run, kind, -1, edges.newestTime);
}
}  // namespace

StateReading readCollectionState(const OlapMigrator& run, const CollectionKind& kind) {
    StateReading reading;
    std::optional<MigratedSpan> span = readMigratedSpan(run, kind);
    if (!span) {
        LOG_AS(kind.loggedAs, "Split String Error");
        return reading;
    }
    MongoEdges edges;
    switch (readEdges(run, kind, edges)) {
        case Read::done:
            reading.state = CollectionState{std::move(*span), std::move(edges)};
            return reading;
        case Read::unreadableTime:
            reading.outcome = Outcome::stopped;
            return reading;
        case Read::failed:
            break;
    }
    // A retry clears only after every read it depends on has answered.
    if (run.parameters.retryMode && !run.parameters.hasDateRange())
        LOG_AS(kind.loggedAs, kind.name, " previous data could not be cleared, migration skipped");
    return reading;
}

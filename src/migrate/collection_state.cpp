#include "migrate/collection_state.h"

#include "exec/mongo_shell_scripts.h"
#include "exec/runners.h"
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
                  std::optional<std::string>& time, const ObjectIdSpan& within = {}) {
    CommandOutput printed = executeCommand(
        edgeTimeCommand(run.mongo, kind.name, kind.timeField, direction, within), run.host);
    if (printed.failed()) return readFailed(kind, printed);
    printed.text = removeNewlines(printed.text);
    time.reset();
    if (printed.text.empty()) return Read::done;
    time = getDataStr(printed.text);
    return time ? Read::done : Read::unreadableTime;
}

// The oldest (1) or newest (-1) `_id`, of the documents dated `datedFrom` or
// later when given; empty when there is none.
Read readEdgeObjectId(const OlapMigrator& run, const CollectionKind& kind, int direction,
                      std::string& oid, std::string_view datedFrom = {}) {
    const CommandOutput printed = executeCommand(
        edgeObjectIdCommand(run.mongo, kind.name, direction, kind.timeField, datedFrom), run.host);
    if (printed.failed()) return readFailed(kind, printed);
    const std::string line = removeNewlines(printed.text);
    oid.clear();
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

// Documents are dated by a field, exported by `_id` and the two need not
// agree near the age floor. Walking down from the floor until the documents
// at or above an `_id` are exactly those dated at or after a time gives a cut
// that both the target's time column and the completed table's `oid` can
// clear, and that the export takes again.
Read readFloorCut(const OlapMigrator& run, const CollectionKind& kind, MongoEdges& edges) {
    constexpr int mostSteps = 20;
    std::optional<std::string> time;
    Read read = readEdgeTime(run, kind, 1, time,
                             verifiedSpan(kind, edges.oldestOid, edges.newestOid, run.parameters));
    std::string oid;
    for (int step = 0; read == Read::done && time && step < mostSteps; ++step) {
        std::string first;
        read = readEdgeObjectId(run, kind, 1, first, *time);
        if (read != Read::done) return read;
        if (first == oid) {
            edges.floorCut = MongoEdges::FloorCut{oid, *time};
            return Read::done;
        }
        oid = first;
        read = readEdgeTime(run, kind, 1, time, ObjectIdSpan{.lower = oid});
    }
    if (read != Read::done || !time) return read;
    LOG_AS(kind.loggedAs, kind.name, " collection could not be read from MongoDB (no cut at the age floor after ",
           mostSteps, " steps)");
    return Read::failed;
}

Read readEdges(const OlapMigrator& run, const CollectionKind& kind, MongoEdges& edges) {
    const Read oldest = readEdgeObjectId(run, kind, 1, edges.oldestOid);
    if (oldest != Read::done) return oldest;
    const RunParameters& parameters = run.parameters;
    const bool datedByField = kind.timeField != EdgeField::objectId;
    if (parameters.hasDateRange() || edges.oldestOid.empty()) return Read::done;
    const Read newest = readEdgeObjectId(run, kind, -1, edges.newestOid);
    if (newest != Read::done || !datedByField) return newest;
    for (const int direction : {1, -1}) {
        const Read read = readEdgeTime(run, kind, direction, direction == 1 ? edges.oldestTime : edges.newestTime);
        if (read != Read::done) return read;
    }
    if (kind.mover == Move::objectIdList && parameters.retryMode) return readFloorCut(run, kind, edges);
    return Read::done;
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

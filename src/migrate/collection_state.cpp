#include "migrate/collection_state.h"

#include "exec/runners.h"
#include "migrate/counters.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
// An edge time as date-time text: nothing when MongoDB printed nothing, and
// a stopped run when it printed something that holds no time.
bool readEdgeTime(const OlapMigrator& run, const CollectionKind& kind, int direction,
                  std::optional<std::string>& time) {
    const std::string printed = getCollectionEdgeTime(run, kind, direction);
    if (printed.empty()) return true;
    time = getDataStr(printed);
    return time.has_value();
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
    edges.oldestDocument = removeNewlines(
        executeCommand(oldestObjectIdCommand(run.mongo, kind.name), run.host).text);
    const RunParameters& parameters = run.parameters;
    const bool wholeCollection = !parameters.hasDateRange() && !edges.oldestDocument.empty();
    const bool datedByField = kind.timeField != EdgeField::objectId;
    if (wholeCollection && (datedByField || parameters.retryMode)) {
        const bool read = (!datedByField || readEdgeTime(run, kind, 1, edges.oldestTime)) &&
                          readEdgeTime(run, kind, -1, edges.newestTime);
        if (!read) {
            reading.outcome = Outcome::stopped;
            return reading;
        }
    }
    reading.state = CollectionState{std::move(*span), std::move(edges)};
    return reading;
}

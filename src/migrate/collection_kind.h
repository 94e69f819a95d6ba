#pragma once
// What kind of collection a name stands for, and everything that follows
// from it, worked out once: every later step asks the kind, never the name.

#include <string>
#include <string_view>

#include "exec/command_text.h"
#include "migrate/run.h"

// How data moves; a collection's kind names the one it moves by.
enum class Move {
    nothing,
    pipeline,      // one export-and-load, whole or between two ObjectIds
    windows,       // one export-and-load per window of `interval` hours
    objectIdList,  // the ids exported first, then loaded a batch at a time
    repair,        // only what the completed table lacks within the span to verify
};

struct CollectionKind {
    std::string name;  // in MongoDB
    std::string olapName;
    std::string stagingTable;
    std::string completedTable;
    // Report collections are dated by a field of their documents and moved
    // by the report pass; all others by the time in their ObjectIds.
    bool isReport = false;
    EdgeField timeField = EdgeField::objectId;
    Move mover = Move::pipeline;
    // Seconds since the epoch of each target-table row, for clearing.
    std::string_view clearingTimeExpression;
    // Operators know each pass's lines by its name, whichever step writes them.
    std::string_view loggedAs;
    // Pause before counting: ClickHouse needs a moment to carry the staged
    // rows of one big load on; the report pass counts at once.
    unsigned settleSeconds = 0;
};

CollectionKind kindOf(const std::string& collection);

// The span whose documents must all be in ClickHouse, each once, for the
// collection to count as migrated: the requested days; without dates
// MongoDB's whole collection as it was when the collection was taken in
// hand, from its oldest document `oldestOid` to its newest `newestOid` (for
// the ObjectId-list kind, what lies above the age floor). Documents written
// later belong to the next run; rows ClickHouse holds beyond MongoDB's
// oldest document are history and outside it.
ObjectIdSpan verifiedSpan(const CollectionKind& kind, const std::string& oldestOid,
                          const std::string& newestOid, const RunParameters& parameters);

#pragma once
// What to do with one collection, decided from what ClickHouse holds,
// MongoDB's edges and the run parameters alone: no process, no clock. Both
// passes carry out the plans it makes.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "migrate/collection_kind.h"
#include "migrate/migrated_span.h"
#include "migrate/run.h"
#include "migrate/run_report.h"

struct MongoEdges {
    std::string oldestOid;  // the oldest `_id`; empty: the collection holds no document
    // The newest `_id`, read with the oldest when no dates were asked for:
    // together they are the span a run verifies.
    std::string newestOid;
    // "YYYY-MM-DD HH:MM:SS" of the dating field, read when a run without
    // dates needs them: both edges for report collections, the newest one as
    // the clearing cutoff of a retry. Nothing when MongoDB printed nothing.
    std::optional<std::string> oldestTime;
    std::optional<std::string> newestTime;
    // For a retry of the ObjectId-list kind, read only then: where the age
    // floor cuts the collection so that the documents at or above `oid` are
    // exactly those dated at or after `time` (the target can be cleared only
    // by that date, the completed table and the export only by `_id`).
    // Nothing when no document lies above the floor.
    struct FloorCut {
        std::string oid;
        std::string time;  // "YYYY-MM-DD HH:MM:SS"
    };
    std::optional<FloorCut> floorCut;
};

// What a retry clears before it moves: exactly the rows of the documents the
// move brings back. Target rows are found by their time column, completed
// rows by `oid`; rows of documents MongoDB no longer holds stay.
struct Clearing {
    std::string fromTime;  // "YYYY-MM-DD HH:MM:SS", UTC, both inclusive
    std::string toTime;
    ObjectIdSpan completed;
};

struct Plan {
    // The record of a plan carried out without a failure.
    Outcome outcome = Outcome::failed;
    std::vector<std::string> lines;  // logged before anything else happens
    std::optional<Clearing> clearing;
    std::vector<std::string> linesAfterClearing;
    Move move = Move::nothing;
    // Bounds of a pipeline or an ObjectId list; empty: unbounded. For
    // windows, the outermost bounds: the newest window reaches up to
    // `upperOid` and the oldest down to `lowerOid`, so that a document
    // whose `_id` lies outside the days of its dating field still moves.
    std::string upperOid;
    std::string lowerOid;
    std::int64_t newest = 0;  // epoch seconds of the windows, both inclusive
    std::int64_t oldest = 0;
    std::string listedLine;   // logged once the ObjectId list holds ids
    std::string closingLine;  // logged after the data moved
    // The span whose documents must be in ClickHouse, each once, when the
    // plan is carried out.
    std::optional<ObjectIdSpan> verify;
    Outcome whenUnequal = Outcome::failed;
};

Plan decide(const CollectionKind& kind, const MigratedSpan& span, const MongoEdges& edges,
            const RunParameters& parameters);

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
    // The newest `_id`, read when the plan may reach beyond its dating field's
    // days: the windows of a report collection and the clearing of a retry.
    std::string newestOid;
    // "YYYY-MM-DD HH:MM:SS" of the dating field, read when a run without
    // dates needs them: both edges for report collections, the newest one as
    // the clearing cutoff of a retry. Nothing when MongoDB printed nothing.
    std::optional<std::string> oldestTime;
    std::optional<std::string> newestTime;
};

struct Plan {
    // The record of a plan carried out without a failure.
    Outcome outcome = Outcome::failed;
    std::vector<std::string> lines;  // logged before anything else happens
    bool clearFirst = false;
    std::string clearUpTo;  // the newest time in MongoDB; empty: nothing to delete
    // Epoch seconds at and below which rows are spared, because the
    // re-export does not bring them back.
    std::optional<std::int64_t> clearAbove;
    std::vector<std::string> linesAfterClearing;
    Move move = Move::nothing;
    std::string upperOid;  // bounds of a pipeline or an ObjectId list; empty: unbounded
    std::string lowerOid;
    std::int64_t newest = 0;  // epoch seconds of the windows, both inclusive
    std::int64_t oldest = 0;
    std::string listedLine;   // logged once the ObjectId list holds ids
    std::string closingLine;  // logged after the data moved
    // The span whose documents must be in ClickHouse, each once, when the
    // plan is carried out; with no upper bound, up to the newest one there.
    std::optional<ObjectIdSpan> verify;
    Outcome whenUnequal = Outcome::failed;
};

Plan decide(const CollectionKind& kind, const MigratedSpan& span, const MongoEdges& edges,
            const RunParameters& parameters);

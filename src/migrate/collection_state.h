#pragma once
// The reads a decision needs: what ClickHouse holds of a collection and
// MongoDB's edges, each read before anything is changed.

#include <optional>

#include "migrate/decide.h"

struct CollectionState {
    MigratedSpan span;
    MongoEdges edges;
};

struct StateReading {
    std::optional<CollectionState> state;
    // Without a state: why the collection ends here (its line is logged).
    Outcome outcome = Outcome::failed;
};

StateReading readCollectionState(const OlapMigrator& run, const CollectionKind& kind);

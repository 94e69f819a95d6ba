#pragma once
// Counting what a run migrated on both sides: the administrator decides from
// the outcome whether MongoDB's copy may be dropped, so it rests on counts,
// not on the absence of an error.

#include <cstdint>
#include <optional>

#include "exec/commands.h"
#include "migrate/collection_kind.h"
#include "migrate/run.h"

enum class Verification { equal, unequal, unreadable };

struct VerifiedSpan {
    Verification result = Verification::unreadable;
    std::int64_t documents = 0;  // in MongoDB
    std::int64_t rows = 0;       // in the completed table
    ObjectIdSpan span;           // as counted: its upper bound always set
};

// Counts the documents of `span` in MongoDB and the completed rows of the
// same span in ClickHouse, and logs both. A span without an upper bound ends
// at the newest row ClickHouse holds (or the run's start when it holds none),
// so documents written while the run goes on do not count as missing.
VerifiedSpan verifyMigratedSpan(const OlapMigrator& run, const CollectionKind& kind,
                                ObjectIdSpan span);

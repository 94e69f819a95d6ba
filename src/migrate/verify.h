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
};

// Counts the documents of `span` in MongoDB and the completed rows of the
// same span in ClickHouse, and logs both. A span without an upper bound ends
// at the newest row ClickHouse holds (or the run's start when it holds none),
// so documents written while the run goes on do not count as missing.
VerifiedSpan verifyMigratedSpan(const OlapMigrator& run, const CollectionKind& kind,
                                ObjectIdSpan span);

// The two halves of it, for "repair", which counts MongoDB's side piece by
// piece: the completed rows of `span`, which it closes as above; nothing,
// after a line saying why, when they could not be read.
std::optional<std::int64_t> countCompletedSpan(const OlapMigrator& run, const CollectionKind& kind,
                                               ObjectIdSpan& span);
// Logs the verified or the verification-failed line.
Verification judgeCounts(const CollectionKind& kind, std::int64_t documents, std::int64_t rows);

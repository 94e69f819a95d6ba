#pragma once
// Whether every document of a span is in ClickHouse exactly once: the
// administrator decides from the outcome whether MongoDB's copy may be
// dropped, so it rests on a comparison of both sides, not on the absence of
// an error.

#include <functional>
#include <optional>

#include "compare/compare_span.h"
#include "migrate/collection_kind.h"
#include "migrate/run.h"

// Compares `span` on both sides and logs what was found: the verified line,
// the rows of documents MongoDB let go (kept, as history), or what keeps the
// span from being whole. Nothing, after a line saying why, when a side could
// not be read or did not add up. Runs of missing documents go to `onMissing`.
std::optional<SpanFindings> verifyMigratedSpan(const OlapMigrator& run, const CollectionKind& kind,
                                               const ObjectIdSpan& span,
                                               const std::function<void(const MissingTerm&)>& onMissing = {});

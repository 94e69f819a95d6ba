#pragma once
// Clearing what an earlier run brought over, before a retry migrates again.

#include "migrate/collection_kind.h"
#include "migrate/decide.h"
#include "migrate/run.h"

// Deletes the target rows of the clearing's time span first and its
// completed rows after them, so that a failure never leaves the completed
// table short of what the target holds: a later run would load those rows a
// second time. While it clears, the completed table is marked: one that
// records rows the target lost is counted by no later run until a retry
// ends well. False, with a line naming what was and was not cleared, when a
// statement failed; a failed client leaves the outcome of its statement
// unknown, so only a failed mark may say that nothing was cleared.
bool deleteOriginalTable(const OlapMigrator& run, const CollectionKind& kind, const Clearing& clearing);

#pragma once
// Counting and dating: the staging and completed counts an operator reads
// after each collection, and the time of a collection's oldest or newest
// document, the reference against which ClickHouse data is placed.

#include <cstdint>
#include <string>

#include "exec/runners.h"
#include "migrate/collection_kind.h"
#include "migrate/run.h"

// 0 with both counts logged and set; -1 after "Split String Error" and a
// line naming the failure when ClickHouse gave fewer than two counts.
std::int32_t getMigrationCount(const OlapMigrator& run, const CollectionKind& kind,
                               std::string& stagingCount, std::string& completedCount);

// The shell's last line for the oldest (1) or newest (-1) document by the
// kind's dating field, newlines removed; empty when it printed nothing.
CommandOutput getCollectionEdgeTime(const OlapMigrator& run, const CollectionKind& kind,
                                    int direction);

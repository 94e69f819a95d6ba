#pragma once
// The staging and completed counts an operator reads after each collection.

#include <cstdint>
#include <string>

#include "exec/runners.h"
#include "migrate/collection_kind.h"
#include "migrate/run.h"

// 0 with both counts logged and set; -1 after "Split String Error" and a
// line naming the failure when ClickHouse gave fewer than two counts.
std::int32_t getMigrationCount(const OlapMigrator& run, const CollectionKind& kind,
                               std::string& stagingCount, std::string& completedCount);

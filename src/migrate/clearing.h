#pragma once
// Clearing what an earlier run brought over, before a retry migrates again.

#include <cstdint>
#include <optional>
#include <string>

#include "migrate/collection_kind.h"
#include "migrate/run.h"

// Empties the completed table and deletes every target-table row dated at or
// before `newest` (the newest time in MongoDB); with `above`, only the rows
// newer than those epoch seconds, in both tables. An empty `newest` deletes
// nothing. False when a statement failed: migrating on top of rows that are
// still there would double them.
bool deleteOriginalTable(const OlapMigrator& run, const CollectionKind& kind,
                         const std::string& newest, std::optional<std::int64_t> above);

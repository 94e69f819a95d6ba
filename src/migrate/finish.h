#pragma once
// The steps that close every collection whose data was moved: the staging
// and completed counts for the operator, the separator line, a pause that
// lets ClickHouse carry the staged rows on, and the emptying of the staging
// table.

#include "migrate/collection_kind.h"
#include "migrate/run.h"

// The counts read go into `record`.
void finishMigratedCollection(const OlapMigrator& run, const CollectionKind& kind,
                              CollectionRecord& record);

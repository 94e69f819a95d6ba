#pragma once
// The steps that close every collection whose data was moved: the staging
// and completed counts for the operator, the separator line, a pause that
// lets ClickHouse carry the staged rows on, and the emptying of the staging
// table.

#include "migrate/collection_kind.h"
#include "migrate/run.h"

// The counts read go into `record`. False when the counts could not be
// read or the staging table could not be emptied: a program that failed
// never passes for a clean run.
bool finishMigratedCollection(const OlapMigrator& run, const CollectionKind& kind,
                              CollectionRecord& record);

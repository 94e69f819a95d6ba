#pragma once
// The two migration passes of a run: first every selected collection that is
// not a report collection, then the selected report collections.

#include "migrate/run.h"

void generalTableMigration(OlapMigrator& run);
void reportTableMigration(OlapMigrator& run);

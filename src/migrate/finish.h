#pragma once
// The steps that close every collection whose data was moved, in either
// pass: the staging and completed counts for the operator, the separator
// line, a pause that lets ClickHouse carry the staged rows on, and the
// emptying of the staging table.

#include <string_view>

#include "migrate/run_report.h"

class OlapMigrator;

// `loggedAs` is the pass whose log lines these are. `settleSeconds` is a
// pause before counting (the general pass takes 2 seconds, the report pass
// none); the run's wait time follows the separator in both. The counts read
// go into `record`, whose name is the collection.
void finishMigratedCollection(const OlapMigrator& migrator, std::string_view loggedAs,
                              unsigned settleSeconds, CollectionRecord& record);

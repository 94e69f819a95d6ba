#pragma once
// The ways data moves, each built on the one export-and-load pipeline:
// documents stream from mongoexport through a pipe into the staging table,
// never through the tool.

#include <cstdint>
#include <string>
#include <string_view>

#include "migrate/decide.h"
#include "migrate/run.h"

// The documents whose `_id` lies between `lower` and `upper`, both included
// (an empty `upper`: the whole collection; an empty `lower`: no lower bound).
// False, with a line naming both exit statuses, when the load failed; an
// exporter that found nothing is no failure.
bool executeMigrationCommand(const OlapMigrator& run, const std::string& collection,
                             const std::string& upper, const std::string& lower);

// The documents the exporter's `queryFile` selects, the same way.
bool moveQueriedDocuments(const OlapMigrator& run, const std::string& collection,
                          const std::string& queryFile);

// One pipeline per window of `interval` hours from the plan's newest second
// down to its oldest, each announced under `loggedAs`; the newest window
// reaches up to the plan's upper bound and the oldest down to its lower one.
// Every window is tried even after one failed: the others hold data of their
// own. False when one failed.
bool moveWindows(const OlapMigrator& run, const std::string& collection, std::string_view loggedAs,
                 const Plan& plan);

// Exports the `_id` values between `lower` and `upper` (with an empty
// `lower`: everything above the run's age floor) into the work files and
// returns how many lines the exporter wrote; -1 when the export or the work
// files failed.
std::int32_t exportObjectIdList(const OlapMigrator& run, const std::string& collection,
                                const std::string& lower, const std::string& upper);

// Loads the exported list a batch at a time, with the memory guard before
// each batch when it is on, and removes the work files. False when a batch
// or the list failed.
bool tb_base_report_data_migration(const OlapMigrator& run, const std::string& collection);

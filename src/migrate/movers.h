#pragma once
// The ways data moves, each built on the one export-and-load pipeline:
// documents stream from mongoexport through a pipe into the staging table,
// never through the tool. A mover hands out its loads and up to `-j` of them
// run at once; the collection is counted and verified once, after all of
// them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "migrate/decide.h"
#include "migrate/run.h"

// What a mover calls while its loads run, at least once a second: the
// collection's progress line.
using Tick = std::function<void()>;

// One export-and-load pipeline.
struct Load {
    std::string queryOption;               // the exporter's filter: bounds, or a query file
    std::function<void(bool moved)> done;  // told how it ended
    std::shared_ptr<const void> holds;     // what must last until it ends, such as its query file
};

// Runs every load `next` hands out, up to `-j` at a time, each announced
// and ended by a line. A load that failed fails the result, while the
// others go on to their end; an exporter that found nothing is no failure.
bool moveLoads(const OlapMigrator& run, const std::string& collection,
               const std::function<std::optional<Load>()>& next, const Tick& tick = {});

// The documents whose `_id` lies between `lower` and `upper`, both included
// (an empty `upper`: the whole collection; an empty `lower`: no lower bound),
// in one pipeline. False, with a line naming both exit statuses, when the
// load failed.
bool executeMigrationCommand(const OlapMigrator& run, const std::string& collection,
                             const std::string& upper, const std::string& lower, const Tick& tick = {});

// The same as `-j` pipelines at once: `span` (both bounds set) cut into
// ranges of about equal counts, counted along the `_id` index; an empty
// `upper` or `lower` of the plan leaves the outermost range open on that
// side. One pipeline when `-j` is 1 or the span too small to share.
bool moveRanges(const OlapMigrator& run, const std::string& collection, const ObjectIdSpan& span,
                const std::string& upper, const std::string& lower, const Tick& tick = {});

// One pipeline per window of `interval` hours from the plan's newest second
// down to its oldest, each announced under `loggedAs`; the newest window
// reaches up to the plan's upper bound and the oldest down to its lower one.
// Every window is tried even after one failed: the others hold data of their
// own. False when one failed.
bool moveWindows(const OlapMigrator& run, const std::string& collection, std::string_view loggedAs,
                 const Plan& plan, const Tick& tick = {});

// Exports the `_id` values between `lower` and `upper` (with an empty
// `lower`: everything above the run's age floor) into the work files and
// returns how many lines the exporter wrote; -1 when the export or the work
// files failed.
std::int32_t exportObjectIdList(const OlapMigrator& run, const std::string& collection,
                                const std::string& lower, const std::string& upper);

// Loads the exported list a batch at a time, with the memory guard before
// each batch starts when it is on, and removes the work files. False when a
// batch or the list failed.
bool tb_base_report_data_migration(const OlapMigrator& run, const std::string& collection,
                                   const Tick& tick = {});

#pragma once
// src/migrate, the floor of start, retry and repair: the run value, the
// collection kinds, the reads and the one decision both passes make, the
// movers, repair, clearing, verification and the hand-off. It asks
// src/compare whether a span is whole, and reaches the servers only through
// the command texts, runners and pipeline pool of src/exec.
//
// One "start", "retry" or "repair" run: the logins, what the administrator asked for,
// the catalogue it walks, the machine it runs on and the record of what
// happened. The driver builds it once, field by field, and hands it to every
// step; only the record changes while the run goes on.

#include <cstdint>
#include <string>

#include "exec/host.h"
#include "exec/logins.h"
#include "migrate/run_report.h"
#include "util/parsers.h"

// A run without dates takes into account documents of the last 732 days only.
inline constexpr std::int64_t exportFloorSpan = 63'244'800;

struct RunParameters {
    std::string startTime;  // YYYY-MM-DD; both dates or neither
    std::string endTime;
    std::string product;  // filters; empty takes everything
    std::string table;
    std::string listFile;
    std::int32_t interval = 24;    // report window length in hours
    std::int32_t batchCount = 50;  // ObjectIds per bulk transfer
    std::int32_t jobs = 1;         // export-and-load pipelines at once
    std::int32_t waitTime = 10;    // seconds after each migrated collection
    std::int32_t memoryLimit = 50;  // percent of physical memory
    bool memoryLimitSet = false;    // the memory guard runs only when -ml was given
    std::int64_t diskLimit = 90;    // percent; 0 switches the disk guard off
    bool retryMode = false;
    bool repairMode = false;  // moves only what ClickHouse lacks
    bool dryRun = false;  // loads nothing, so what it moves cannot be judged by the counts
    // A retry may delete rows of documents MongoDB let go, history kept
    // nowhere else, only when the administrator said so.
    bool deleteHistory = false;
    std::int64_t startedAt = 0;  // epoch seconds, read once when the run begins

    bool hasDateRange() const { return !startTime.empty() && !endTime.empty(); }
    std::int64_t exportFloorTime() const { return startedAt - exportFloorSpan; }
};

struct OlapMigrator {
    MongoLogin mongo;
    ClickHouseLogin clickhouse;
    PostgresLogin postgres;
    RunParameters parameters;
    ProductCatalogue migrationList;
    const Host& host;
    RunReport report;
};

#pragma once
// The guards that keep a migration from filling the ClickHouse disk or
// driving ClickHouse into memory pressure.

#include <cstdint>

#include "exec/host.h"
#include "migrate/run.h"

// False, after two lines saying so, when the ClickHouse storage is filled to
// `limit` percent or more: the run must stop. A limit of 0 only reports the
// usage; a file system that cannot be measured is reported on standard
// error and the run goes on.
bool diskUsageExceedCheck(std::int64_t limit, const Host& host);

// Waits, up to 60 attempts 10 seconds apart, until ClickHouse tracks no more
// memory than the run's share of physical memory; after the last attempt
// the batch loads anyway. False, after a line naming the program, when
// `free` or the ClickHouse query failed: the batch must not load.
bool checkClickHouseMemory(const OlapMigrator& run);

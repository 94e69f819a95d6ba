#pragma once
// The disk guard, run before every collection. (The memory guard is an
// operation of the context: it needs the ClickHouse login.)

#include <cstdint>

#include "exec/host.h"

// Ends the process with status 1 when the ClickHouse storage is filled to
// `limit` percent or more; a limit of 0 only reports the usage. A file system
// that cannot be measured is reported on standard error and the run goes on.
void diskUsageExceedCheck(std::int64_t limit, const Host& host = realHost());

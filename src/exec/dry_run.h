#pragma once
// A rehearsal of a run: everything that only reads runs as usual, so the
// decisions and their log lines are those of a real run, while everything
// that writes is shown instead of run.

#include <string>

#include "exec/host.h"

// The command as it would run: its variables named, never their values,
// then its text. "CLICKHOUSE_PASSWORD=*** clickhouse-client -h …"
std::string shownCommand(const ShellCommand& command);

// Reads and the clock go to `real`; commands run with the tool's own streams
// and pipelines are logged as "[DRY-RUN] " + the shown command and reported
// as succeeded; pauses are skipped.
Host dryRunHost(const Host& real);

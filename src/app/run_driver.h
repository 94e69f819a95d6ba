#pragma once
// The five commands, each from a checked command line to an exit status.

#include "app/options.h"
#include "app/settings.h"

// "start", "retry" and "repair": the guarded migration run.
int runMigration(Invocation invocation, const ConnectionSettings& settings);

// "check": sizes and the capacity verdict.
int runCheck(const Invocation& invocation, const ConnectionSettings& settings);

// "drop": the listed collections, after one confirmation, holding the same
// one-run lock as a migration from the list to the last drop.
int runDrop(const Invocation& invocation, const ConnectionSettings& settings);

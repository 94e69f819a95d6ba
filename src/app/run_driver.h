#pragma once
// src/app, the top floor: main, the options and connection settings, the
// run driver and the PID file and lock. It turns a command line into one of
// the five commands, and it is the only place the process ends, so that the
// summary is written and the PID file removed on every path.
//
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

#pragma once
// The single-instance guard: only one migration may run on a host at a time.

#include <optional>
#include <string>

#include "exec/child_groups.h"

// What stands in the way of a new run: a live run of this tool, which holds
// the lock of its PID file, or a program that an earlier run started and
// that still runs (a run killed outright leaves its children running). With
// neither, a PID file is stale, whatever process its number names now, and
// removed with its ledger; a line names the pid.
struct EarlierRun {
    bool alive = false;
    std::optional<LedgerChild> child;
};
EarlierRun findEarlierRun();

// Where this run names the children it has running.
std::string childLedgerPath();

enum class PidFileWrite { written, taken, failed };

// Creates the PID file exclusively with this process's id and holds its
// lock until removePidFile() or the end of the process. `taken` means
// another run created it first, after our own test said the way was free.
PidFileWrite writePidFile();

// With the ledger of children, which a clean end leaves empty.
void removePidFile();

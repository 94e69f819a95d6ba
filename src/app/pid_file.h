#pragma once
// The single-instance guard: only one migration may run on a host at a time.

// True when the PID file names a live process. A file naming a process that
// is gone, or holding no number at all, is stale and removed.
bool isAlreadyRunning();

enum class PidFileWrite { written, taken, failed };

// Creates the PID file exclusively with this process's id. `taken` means
// another run created it first, after our own test said the way was free.
PidFileWrite writePidFile();

void removePidFile();

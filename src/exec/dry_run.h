#pragma once
// A rehearsal of a run: everything that only reads runs as usual, so the
// decisions and their log lines are those of a real run, while everything
// that writes is shown instead of run.

#include <string>
#include <vector>

#include "exec/host.h"

// Every form in which a secret can stand in a command line (as typed, or
// quoted for its place) replaced by ***.
std::string maskSecrets(std::string text, const std::vector<std::string>& secrets);

// Reads and the clock go to `real`; commands run with the tool's own streams
// and pipelines are logged as "[DRY-RUN] " + the masked command line and
// reported as succeeded; pauses are skipped.
Host dryRunHost(const Host& real, std::vector<std::string> secrets);

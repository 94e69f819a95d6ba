#pragma once
// The part of a "start" or "retry" run's output that the migration passes
// write, for command-line tests that compare it line by line.

#include <string>
#include <vector>

#include "sandbox.h"

namespace qortest {

// Messages after the list file's lines (so the run must be given -f), each
// log line followed by the physical lines that continue it. The usage figure of the disk guard
// depends on the machine, so "Disk Usage : <n>%" reads "Disk Usage : N%".
std::vector<std::string> passMessages(const RunResult& result);

}  // namespace qortest

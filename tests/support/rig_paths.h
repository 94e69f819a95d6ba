#pragma once
// Where the pieces of the rig are: the tool binary, the doubles, the engine
// stand-ins, and the few real programs the tool's command lines need.

#include <filesystem>
#include <string>

#include "process.h"

namespace qortest::rig {

std::filesystem::path sourceDirectory();
std::filesystem::path toolBinary();
std::filesystem::path fakesBin();     // mongosh, mongoexport, free
std::filesystem::path fakesCanned();  // canned clickhouse-client and psql
std::filesystem::path enginesDirectory();

// A real program of the machine, searched in the system directories before
// the test's own PATH (so that a version manager's shim is not picked up).
// Throws std::runtime_error when there is none.
std::filesystem::path systemProgram(const std::string& name);

// Variables of the test's environment that the children get as they are:
// where chDB and the templates are cached, sanitizer options, the time zone.
Environment passedThrough();

}  // namespace qortest::rig

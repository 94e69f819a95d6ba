#pragma once
// The command line: command word, options, run parameters and their checks.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "migrate/run.h"

// The options exactly as typed; a value given more than once keeps the last.
struct CommandLine {
    std::string command;
    std::string startTime;
    std::string endTime;
    std::string product;
    std::string table;
    std::string interval;
    std::string listFile;
    std::string batchCount;
    std::string jobs;
    std::string diskLimit;
    std::string waitTime;
    std::string memoryLimit;
    ConnectionRecord connections;  // -ni -nu -np -ci -cu -cp; empty where not given
    bool dryRun = false;
    bool deleteHistory = false;
    // Where in the arguments the values taken as -np and -cp stand: the
    // places to overwrite, as the scan read them and no other way.
    std::vector<std::size_t> passwordPositions;
    // Asked anywhere on the line, not as an option's value: answered instead
    // of running anything, so "start --help" never starts a migration.
    bool help = false;
    bool version = false;
};

// What the command line asks for, once its numbers are read.
struct Invocation {
    std::string command;
    bool dryRun = false;
    RunParameters parameters;
};

// Never fails: unknown arguments are skipped, an option in last place is
// ignored, and the argument after an option is its value even when it
// begins with a minus sign.
CommandLine scanArguments(const std::vector<std::string>& arguments);

// The numeric options read with the leading-number rule. A value that does
// not begin with a number or does not fit its field is logged with the
// option and the value as typed, and gives nothing: guessing a batch size or
// a disk limit on production data is not an option.
std::optional<Invocation> readInvocation(const CommandLine& commandLine);

// Each non-empty connection option replaces the configured value.
void applyOverrides(const CommandLine& commandLine, ConnectionSettings& settings);

// Both dates or neither, each YYYY-MM-DD, the start not after the end.
bool passesDateCheck(const RunParameters& parameters);

// "start"/"retry"/"repair": refuses a disk limit outside 0 ... 100 and a memory limit
// outside 1 ... 100, repairs batch count, jobs, wait time and interval.
bool passesTuningCheck(RunParameters& parameters);

void writeBanner(const Invocation& invocation, const ConnectionSettings& settings);

void writeUsage();

// --help: the usage line, every option with its meaning and default, and
// the five command words.
void writeHelp();

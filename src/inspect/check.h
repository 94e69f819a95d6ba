#pragma once
// The "check" command: how much MongoDB storage the listed collections take,
// and whether the ClickHouse disk has room for their migration. It changes
// nothing, so an administrator may run it at any time, even during a run.

#include <cstdint>
#include <string>

#include "exec/host.h"

struct SizeEntry {
    std::string name;
    std::uint64_t size = 0;  // bytes
};

// Two decimals and a unit from B to PB in steps of 1024: "117.74 MB".
std::string formatBytes(std::uint64_t bytes);

// Size of a directory tree in bytes as du sees it (symbolic links followed),
// 0 when it cannot be measured.
std::uint64_t getDirectorySize(const std::string& path, const Host& machine = realHost());

// Prints the size of every collection of the migrationList, the sorted list
// and the total; returns the largest size.
std::uint64_t checkCollectionSize(const std::string& host, const std::string& user,
                                  const std::string& password, const Host& machine = realHost());

// The whole "check" report. `directory` holds the ClickHouse data; when it
// cannot be examined only the MongoDB figures are given, without a verdict.
void checkMigrationCapacity(const std::string& directory, const std::string& host,
                            const std::string& user, const std::string& password,
                            const Host& machine = realHost());

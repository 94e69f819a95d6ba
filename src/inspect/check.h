#pragma once
// src/inspect, the floor of the commands that move nothing: check sizes the
// collections before a migration, drop frees MongoDB after it, once
// src/compare finds each collection whole in ClickHouse. Both walk the
// catalogue of src/util and reach the servers through src/exec.
//
// Sizing before a migration: an administrator wants to know, before a long
// run, whether the ClickHouse disk will hold it. Only reads, so it is safe
// beside a running migration.

#include <cstdint>
#include <optional>
#include <string>

#include "exec/host.h"
#include "exec/logins.h"
#include "util/parsers.h"

struct SizeEntry {
    std::string name;
    std::uint64_t size = 0;  // bytes
    std::string unreadable;  // why the size could not be read; empty when it was
};

// "117.74 MB": binary units, which is how the disks are sold to operators here.
std::string formatBytes(std::uint64_t bytes);

// Bytes under `path`, following links because the data directories of a
// server are often links to a larger disk; nothing, with the reason in
// `why`, when du fails or gives no figure: the total du prints beside a
// failure (a dangling link) is only part of the size.
std::optional<std::uint64_t> getDirectorySize(const std::string& path, std::string& why,
                                              const Host& machine = realHost());

struct CollectionSizes {
    std::uint64_t largest = 0;
    std::size_t unsized = 0;  // collections whose size could not be read
};

// Prints each collection's storage size, then the biggest first and the
// total; the biggest matters most, as it passes through staging whole.
CollectionSizes checkCollectionSize(const ProductCatalogue& catalogue, const MongoLogin& login,
                                    const Host& machine = realHost());

// Sizes, capacity and verdict. Without a readable ClickHouse directory there
// is no disk to judge, so the MongoDB figures come alone; without every size
// there is no verdict either. False when a figure could not be read.
bool checkMigrationCapacity(const ProductCatalogue& catalogue, const std::string& directory,
                            const MongoLogin& login, const Host& machine = realHost());

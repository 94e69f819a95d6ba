#include "migrate/guards.h"

#include <cstdio>
#include <optional>
#include <string>

#include "exec/clickhouse_statements.h"
#include "exec/host_tool_commands.h"
#include "exec/runners.h"
#include "util/log.h"
#include "util/parsers.h"
#include "util/paths.h"

namespace {
// Whole percent of the file system in use, free blocks reserved for root
// counted as free. No figure when the numbers cannot describe a file
// system: a device reporting zero blocks must not stop (or crash) the run.
std::optional<std::uint64_t> usagePercent(const FileSystemFigures& figures) {
    if (figures.blocks == 0 || figures.fragmentSize == 0 || figures.freeBlocks > figures.blocks)
        return std::nullopt;
    const std::uint64_t total = figures.blocks * figures.fragmentSize;
    const std::uint64_t used = total - figures.fragmentSize * figures.freeBlocks;
    return used * 100 / total;
}
}  // namespace

bool diskUsageExceedCheck(std::int64_t limit, const Host& host) {
    const std::string storage = rootedPath(paths::clickhouseStorage);
    const std::optional<FileSystemFigures> figures = host.fileSystem(storage);
    const std::optional<std::uint64_t> usage =
        figures ? usagePercent(*figures) : std::optional<std::uint64_t>{};
    if (!usage) {
        writeDiagnostic("Error: Unable to get file system statistics for " + storage);
        return true;
    }
    if (limit != 0 && static_cast<std::uint64_t>(limit) <= *usage) {
        LOG("Disk usage exceeds threshold, stopping migration");
        LOG("Disk Limit :", limit, ", Disk Usage : ", *usage);
        return false;
    }
    LOG("Disk Usage : ", *usage, "%");
    return true;
}

namespace {
constexpr int memoryCheckAttempts = 60;
constexpr unsigned memoryCheckPause = 10;

// The run's share of physical memory in bytes, written as awk's "%.0f"
// would: the total of free's "Mem:" line times the percentage over 100.
// Nothing when no "Mem:" line carries a number.
std::optional<std::string> memoryLimitText(std::string_view freeOutput, int memoryLimit) {
    const std::size_t line = freeOutput.starts_with("Mem:") ? 0 : freeOutput.find("\nMem:");
    if (line == std::string_view::npos) return std::nullopt;
    const std::optional<std::int64_t> total =
        readLeadingInt64(freeOutput.substr(freeOutput.find(':', line) + 1));
    if (!total || *total < 0) return std::nullopt;
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", static_cast<double>(*total) * (memoryLimit / 100.0));
    return std::string(text);
}

// A program that failed left nothing known about the memory, and a batch
// loaded blind could push ClickHouse over: the collection stops here.
bool memoryUnreadable(const CallStatus& read) {
    LOG_AS("checkClickHouseMemory", "Memory Check Error");
    LOG_AS("checkClickHouseMemory", "ClickHouse memory could not be checked (", read.failure(),
           "), the batch is not loaded");
    return false;
}
}  // namespace

bool checkClickHouseMemory(const OlapMigrator& run) {
    for (int attempt = 0; attempt < memoryCheckAttempts; ++attempt) {
        if (run.host.stopSignal() != 0) return false;
        const CommandOutput memory = readWholeOutput(physicalMemoryCommand(), run.host);
        if (memory.failed()) return memoryUnreadable(memory);
        const QueryResult usage = getClickHouseQueryResult(run.clickhouse, memoryTrackingSql(), run.host);
        if (usage.failed()) return memoryUnreadable(usage);
        const std::optional<std::string> limitText = memoryLimitText(memory.text, run.parameters.memoryLimit);
        const std::optional<std::int64_t> limit = limitText ? readLeadingInt64(*limitText) : std::nullopt;
        const std::optional<std::int64_t> used =
            usage.fields.empty() ? std::nullopt : readLeadingInt64(usage.fields[0]);
        // Figures that do not read as numbers tell nothing about the memory:
        // waiting is safer than loading on a guessed limit or usage.
        if (!limit || !used) {
            LOG("Memory Check Error");
            run.host.sleepFor(memoryCheckPause);
            continue;
        }
        if (static_cast<std::uint64_t>(*used) <= static_cast<std::uint64_t>(*limit)) {
            LOG("Limit Memory (Physical RAM * 0.4) : ", *limitText);
            LOG("ClickHouse Current Usage Memory : ", usage.fields[0]);
            return true;
        }
        LOG("ClickHouse Memory Usage Exceeds 40% of Physical RAM");
        run.host.sleepFor(memoryCheckPause);
    }
    LOG("ClickHouse memory was not within the limit after ", memoryCheckAttempts,
        " checks, loading anyway");
    return true;
}

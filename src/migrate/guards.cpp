#include "migrate/guards.h"

#include <optional>
#include <string>

#include "exec/commands.h"
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
}  // namespace

void checkClickHouseMemory(const OlapMigrator& run) {
    for (int attempt = 0; attempt < memoryCheckAttempts; ++attempt) {
        if (run.host.stopSignal() != 0) return;
        const std::string limitText =
            removeNewlines(executeCommand(memoryLimitCommand(run.parameters.memoryLimit), run.host).text);
        const QueryResult usage = getClickHouseQueryResult(run.clickhouse, memoryTrackingSql(), run.host);
        const std::optional<std::int64_t> limit = readLeadingInt64(limitText);
        const std::optional<std::int64_t> used =
            usage.fields.empty() ? std::nullopt : readLeadingInt64(usage.fields[0]);
        // Without both figures nothing is known about the memory: waiting is
        // safer than loading on a guessed limit of zero or on a guessed usage.
        if (!limit || !used) {
            LOG("Memory Check Error");
            run.host.sleepFor(memoryCheckPause);
            continue;
        }
        if (static_cast<std::uint64_t>(*used) <= static_cast<std::uint64_t>(*limit)) {
            LOG("Limit Memory (Physical RAM * 0.4) : ", limitText);
            LOG("ClickHouse Current Usage Memory : ", usage.fields[0]);
            return;
        }
        LOG("ClickHouse Memory Usage Exceeds 40% of Physical RAM");
        run.host.sleepFor(memoryCheckPause);
    }
    LOG("ClickHouse memory was not within the limit after ", memoryCheckAttempts,
        " checks, loading anyway");
}

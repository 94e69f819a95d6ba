#include "inspect/check.h"

#include <algorithm>
#include <iomanip>
#include <limits>
#include <optional>
#include <sstream>
#include <vector>

#include "exec/commands.h"
#include "exec/runners.h"
#include "exec/shell_quote.h"
#include "util/catalogue.h"
#include "util/log.h"
#include "util/parsers.h"
#include "util/paths.h"

namespace {
constexpr std::uint64_t largestSize = std::numeric_limits<std::uint64_t>::max();
const std::string separator(56, '-');

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > largestSize - b ? largestSize : a + b;
}

std::uint64_t saturatingMultiply(std::uint64_t a, std::uint64_t b) {
    if (a != 0 && b > largestSize / a) return largestSize;
    return a * b;
}

// 70 % of any 64-bit figure stays below 2^64 even after rounding to double,
// so the conversion back is always defined.
std::uint64_t seventyPercent(std::uint64_t bytes) {
    return static_cast<std::uint64_t>(static_cast<double>(bytes) * 0.7);
}

// The migration needs room for 70 % of the MongoDB data plus the largest
// collection, which passes through its staging table whole.
std::uint64_t requiredCapacityOf(std::uint64_t usedSize, std::uint64_t largest) {
    return saturatingAdd(seventyPercent(usedSize), largest);
}

std::string sizeWithBytes(std::uint64_t size) {
    return formatBytes(size) + " (" + std::to_string(size) + " bytes)";
}

// An error text or a nonsense number from the shell must not become a huge
// size that decides the verdict.
std::optional<std::uint64_t> readStorageSize(const std::string& reply) {
    const std::optional<std::int64_t> value = readLeadingInt64(reply);
    if (!value || *value < 0) return std::nullopt;
    return static_cast<std::uint64_t>(*value);
}

void writeCapacityLines(std::uint64_t usedSize, std::uint64_t largest) {
    writeReportLine("MongoDB used size   : " + formatBytes(usedSize));
    writeReportLine("MongoDB largest collection size : " + formatBytes(largest));
    writeReportLine("Capacity required for migration: " +
                    formatBytes(requiredCapacityOf(usedSize, largest)) + " (" +
                    formatBytes(seventyPercent(usedSize)) + " + " + formatBytes(largest) + ")");
    writeReportLine("  - Capacity = (MongoDB Used size * 0.7) + MongoDB lagest collection size");
    writeReportLine("");
}
}  // namespace

std::string formatBytes(std::uint64_t bytes) {
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    if (value >= 1024) {
        do {
            ++unit;
            value *= 1.0 / 1024;
        } while (value >= 1024 && unit < 5);
    }
    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << value << ' ' << units[unit];
    return text.str();
}

std::uint64_t getDirectorySize(const std::string& path, const Host& machine) {
    std::optional<std::string> firstLine;
    const ChildStatus status =
        machine.readOutput(directorySizeCommand(path), 128, [&](std::string_view piece) {
            if (!firstLine) firstLine = std::string(piece);
        });
    if (!status.started()) {
        writeDiagnostic("Failed to run du command");
        return 0;
    }
    if (!firstLine) return 0;
    const std::optional<std::int64_t> kilobytes = readLeadingInt64(*firstLine);
    if (!kilobytes || *kilobytes < 0) return 0;
    return saturatingMultiply(static_cast<std::uint64_t>(*kilobytes), 1024);
}

std::uint64_t checkCollectionSize(const ProductCatalogue& catalogue, const MongoLogin& login,
                                  const Host& machine) {
    std::vector<SizeEntry> entries;
    std::uint64_t total = 0;
    std::uint64_t largest = 0;

    writeReportLine(separator);
    writeReportLine("MongoDB collection size check start");
    forEachCollection(catalogue, [&](const std::string&, const std::string& name) {
        if (!isAcceptableCollectionName(name)) {
            LOG("Refused collection name \"", name, "\": only A-Z a-z 0-9 _ . - are accepted");
            return;
        }
        const std::string reply = executeCommand(storageSizeCommand(login, name), machine).text;
        if (reply.empty()) {
            writeReportLine(name + " collection size check : 0 B");
            entries.push_back({name, 0});
            return;
        }
        const std::optional<std::uint64_t> size = readStorageSize(reply);
        if (!size) {
            writeReportLine(name + " collection size check : unreadable reply");
            entries.push_back({name, 0});
            return;
        }
        writeReportLine(name + " collection size check : " + sizeWithBytes(*size));
        entries.push_back({name, *size});
        total = saturatingAdd(total, *size);
        largest = std::max(largest, *size);
    });
    writeReportLine(separator);

    std::stable_sort(entries.begin(), entries.end(),
                     [](const SizeEntry& a, const SizeEntry& b) { return a.size > b.size; });
    writeReportLine("\n[Sorted Collections]");
    for (const SizeEntry& entry : entries) {
        writeReportLine(entry.name + " collection size check : " + sizeWithBytes(entry.size));
    }
    writeReportLine("MongoDB collection size check end");
    writeReportLine(separator);
    writeReportLine("MongoDB collection total size : " + formatBytes(total));
    writeReportLine(separator);
    return largest;
}

void checkMigrationCapacity(const ProductCatalogue& catalogue, const std::string& directory,
                            const MongoLogin& login, const Host& machine) {
    const std::string nosqlDirectory = rootedPath(paths::nosqlStorage);
    const std::optional<FileSystemFigures> figures = machine.fileSystem(directory);
    if (figures) {
        const std::uint64_t totalCapacity = saturatingMultiply(figures->blocks, figures->fragmentSize);
        const std::uint64_t availableSize =
            saturatingMultiply(figures->availableBlocks, figures->fragmentSize);
        const std::uint64_t usedSize = getDirectorySize(nosqlDirectory, machine);
        const std::uint64_t largest = checkCollectionSize(catalogue, login, machine);

        writeReportLine("[Summary] ");
        writeReportLine("Disk total capacity : " + formatBytes(totalCapacity));
        writeReportLine("Disk available size : " + formatBytes(availableSize));
        writeCapacityLines(usedSize, largest);
        if (availableSize > requiredCapacityOf(usedSize, largest)) {
            writeReportLine("\x1b[32mMigration is possible !!\x1b[0m");
        } else {
            writeReportLine("\x1b[31mMigration is not possible. Please clean up the disk\x1b[0m");
        }
    } else {
        writeDiagnostic("Warn: " + directory +
                        " directory is not searched, so only mongodb information is checked.");
        const std::uint64_t usedSize = getDirectorySize(nosqlDirectory, machine);
        const std::uint64_t largest = checkCollectionSize(catalogue, login, machine);

        writeReportLine(
            "Only mongodb information is output because \"/tevfs/clickhouse\" directory is not "
            "searched.");
        writeReportLine("");
        writeReportLine("[Summary] ");
        writeCapacityLines(usedSize, largest);
    }
    writeReportLine(separator);
}

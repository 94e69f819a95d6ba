#include "inspect/check.h"

#include <algorithm>
#include <iomanip>
#include <limits>
#include <optional>
#include <sstream>
#include <vector>

#include "exec/host_tool_commands.h"
#include "exec/mongo_shell_scripts.h"
#include "exec/runners.h"
#include "exec/shell_quote.h"
#include "util/catalogue.h"
#include "util/log.h"
#include "util/parsers.h"
#include "util/paths.h"

namespace {
constexpr std::uint64_t largestSize = std::numeric_limits<std::uint64_t>::max();

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

std::uint64_t availableSize(const FileSystemFigures& figures) {
    return saturatingMultiply(figures.availableBlocks, figures.fragmentSize);
}

void writeCapacityLines(const std::optional<std::uint64_t>& usedSize, const std::string& why,
                        std::uint64_t largest) {
    writeReportLine("MongoDB used size   : " +
                    (usedSize ? formatBytes(*usedSize) : "unreadable (" + why + ")"));
    writeReportLine("MongoDB largest collection size : " + formatBytes(largest));
    if (usedSize) {
        writeReportLine("Capacity required for migration: " +
                        formatBytes(requiredCapacityOf(*usedSize, largest)) + " (" +
                        formatBytes(seventyPercent(*usedSize)) + " + " + formatBytes(largest) + ")");
    }
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

std::optional<std::uint64_t> getDirectorySize(const std::string& path, std::string& why,
                                              const Host& machine) {
    std::optional<std::string> firstLine;
    CallStatus du;
    du.program = "du";
    du.status = machine.readOutput(directorySizeCommand(path), 128, [&](std::string_view piece) {
        if (!firstLine) firstLine = std::string(piece);
    });
    if (!du.status.started()) writeDiagnostic("Failed to run du command");
    const std::optional<std::int64_t> kilobytes =
        firstLine && !du.failed() ? readLeadingInt64(*firstLine) : std::nullopt;
    if (!kilobytes || *kilobytes < 0) {
        why = du.failed() ? du.failure() : "du printed no size";
        return std::nullopt;
    }
    return saturatingMultiply(static_cast<std::uint64_t>(*kilobytes), 1024);
}

CollectionSizes checkCollectionSize(const ProductCatalogue& catalogue, const MongoLogin& login,
                                    const Host& machine) {
    std::vector<SizeEntry> entries;
    std::uint64_t total = 0;
    CollectionSizes sizes;

    writeReportLine(reportSeparator);
    writeReportLine("MongoDB collection size check start");
    forEachCollection(catalogue, [&](const std::string&, const std::string& name) {
        SizeEntry entry{name};
        bool emptyReply = false;
        if (!isAcceptableCollectionName(name)) {
            entry.unreadable = "unreadable (refused name)";
        } else {
            const CommandOutput reply = executeCommand(storageSizeCommand(login, name), machine);
            const std::optional<std::uint64_t> size = readStorageSize(reply.text);
            emptyReply = !reply.failed() && reply.text.empty();
            if (reply.failed()) entry.unreadable = "unreadable (" + reply.failure() + ")";
            else if (!emptyReply && !size) entry.unreadable = "unreadable reply";
            entry.size = size.value_or(0);
        }
        // An empty reply of a program that ended well still counts as 0.
        writeReportLine(name + " collection size check : " +
                        (!entry.unreadable.empty() ? entry.unreadable
                         : emptyReply               ? "0 B"
                                                    : sizeWithBytes(entry.size)));
        sizes.unsized += entry.unreadable.empty() ? 0 : 1;
        total = saturatingAdd(total, entry.size);
        sizes.largest = std::max(sizes.largest, entry.size);
        entries.push_back(std::move(entry));
    });
    writeReportLine(reportSeparator);

    std::stable_sort(entries.begin(), entries.end(),
                     [](const SizeEntry& a, const SizeEntry& b) { return a.size > b.size; });
    writeReportLine("\n[Sorted Collections]");
    for (const SizeEntry& entry : entries) {
        writeReportLine(entry.name + " collection size check : " +
                        (entry.unreadable.empty() ? sizeWithBytes(entry.size) : entry.unreadable));
    }
    writeReportLine("MongoDB collection size check end");
    writeReportLine(reportSeparator);
    writeReportLine("MongoDB collection total size : " + formatBytes(total));
    writeReportLine(reportSeparator);
    return sizes;
}

bool checkMigrationCapacity(const ProductCatalogue& catalogue, const std::string& directory,
                            const MongoLogin& login, const Host& machine) {
    const std::optional<FileSystemFigures> figures = machine.fileSystem(directory);
    if (!figures) {
        writeDiagnostic("Warn: " + directory +
                        " directory is not searched, so only mongodb information is checked.");
    }
    std::string why;
    const std::optional<std::uint64_t> usedSize =
        getDirectorySize(rootedPath(paths::nosqlStorage), why, machine);
    const CollectionSizes sizes = checkCollectionSize(catalogue, login, machine);

    if (!figures) {
        writeReportLine(
            "Only mongodb information is output because \"/tevfs/clickhouse\" directory is not "
            "searched.");
        writeReportLine("");
    }
    writeReportLine("[Summary] ");
    if (figures) {
        writeReportLine("Disk total capacity : " +
                        formatBytes(saturatingMultiply(figures->blocks, figures->fragmentSize)));
        writeReportLine("Disk available size : " + formatBytes(availableSize(*figures)));
    }
    writeCapacityLines(usedSize, why, sizes.largest);
    const bool judged = usedSize && sizes.unsized == 0;
    if (!judged) {
        // A verdict on figures that were not read would only look like one.
        std::string reasons;
        if (sizes.unsized > 0) {
            reasons = std::to_string(sizes.unsized) +
                      (sizes.unsized == 1 ? " collection" : " collections") + " could not be sized";
        }
        if (!usedSize)
            reasons += (reasons.empty() ? "" : ", ") + std::string("the MongoDB used size could not be measured");
        writeReportLine("Migration capacity cannot be judged : " + reasons);
    } else if (figures) {
        if (availableSize(*figures) > requiredCapacityOf(*usedSize, sizes.largest)) {
            writeReportLine("\x1b[32mMigration is possible !!\x1b[0m");
        } else {
            writeReportLine("\x1b[31mMigration is not possible. Please clean up the disk\x1b[0m");
        }
    }
    writeReportLine(reportSeparator);
    return judged;
}

#include "app/options.h"

#include <iostream>
#include <limits>

#include "util/dates.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
// Option name and the member it fills, in the order options are compared.
const std::vector<std::pair<std::string, std::string CommandLine::*>>& optionTable() {
    static const std::vector<std::pair<std::string, std::string CommandLine::*>> table = {
        {"-s", &CommandLine::startTime},     {"-e", &CommandLine::endTime},
        {"-p", &CommandLine::product},       {"-t", &CommandLine::table},
        {"-i", &CommandLine::interval},      {"-f", &CommandLine::listFile},
        {"-n", &CommandLine::batchCount},    {"-j", &CommandLine::jobs},
        {"-dl", &CommandLine::diskLimit},
        {"-w", &CommandLine::waitTime},      {"-ml", &CommandLine::memoryLimit},
    };
    return table;
}

// The same for the options that override the configured connections.
const std::vector<std::pair<std::string, std::string ConnectionRecord::*>>& connectionOptionTable() {
    static const std::vector<std::pair<std::string, std::string ConnectionRecord::*>> table = {
        {"-ni", &ConnectionRecord::nosqlIp},      {"-nu", &ConnectionRecord::nosqlUser},
        {"-np", &ConnectionRecord::nosqlPasswd},  {"-ci", &ConnectionRecord::olapIp},
        {"-cu", &ConnectionRecord::olapUser},     {"-cp", &ConnectionRecord::olapPassword},
    };
    return table;
}

// What option `name` fills; nothing for an argument that is no option.
std::string* optionValue(CommandLine& commandLine, const std::string& name) {
    for (const auto& [option, member] : optionTable())
        if (name == option) return &(commandLine.*member);
    for (const auto& [option, member] : connectionOptionTable())
        if (name == option) return &(commandLine.connections.*member);
    return nullptr;
}

template <typename Field>
bool readNumericOption(const char* option, const std::string& typed, Field& field) {
    if (typed.empty()) return true;
    const std::optional<std::int64_t> value = readLeadingInt64(typed);
    if (!value || *value < std::numeric_limits<Field>::min() ||
        *value > std::numeric_limits<Field>::max()) {
        LOG_AS("main", "Please check the value of the ", option, " option : ", typed);
        return false;
    }
    field = static_cast<Field>(*value);
    return true;
}

void logDateInput(const RunParameters& parameters) {
    LOG_AS("main", "input) start time : ", parameters.startTime,
           ", end time : ", parameters.endTime);
}
}  // namespace

CommandLine scanArguments(const std::vector<std::string>& arguments) {
    CommandLine commandLine;
    if (!arguments.empty()) commandLine.command = arguments.front();
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--dry-run") {
            commandLine.dryRun = true;
            continue;
        }
        if (arguments[i] == "--delete-history") {
            commandLine.deleteHistory = true;
            continue;
        }
        if (arguments[i] == "--help" || arguments[i] == "-h") {
            commandLine.help = true;
            continue;
        }
        if (arguments[i] == "--version") {
            commandLine.version = true;
            continue;
        }
        std::string* const value = optionValue(commandLine, arguments[i]);
        if (value == nullptr || i + 1 == arguments.size()) continue;
        *value = arguments[++i];
        if (value == &commandLine.connections.nosqlPasswd || value == &commandLine.connections.olapPassword)
            commandLine.passwordPositions.push_back(i);
    }
    return commandLine;
}

std::optional<Invocation> readInvocation(const CommandLine& commandLine) {
    Invocation invocation;
    invocation.command = commandLine.command;
    invocation.dryRun = commandLine.dryRun;
    RunParameters& parameters = invocation.parameters;
    parameters.startTime = commandLine.startTime;
    parameters.endTime = commandLine.endTime;
    parameters.product = commandLine.product;
    parameters.table = commandLine.table;
    parameters.listFile = commandLine.listFile;
    parameters.memoryLimitSet = !commandLine.memoryLimit.empty();
    parameters.deleteHistory = commandLine.deleteHistory;
    const bool allRead = readNumericOption("-i", commandLine.interval, parameters.interval) &&
                         readNumericOption("-n", commandLine.batchCount, parameters.batchCount) &&
                         readNumericOption("-j", commandLine.jobs, parameters.jobs) &&
                         readNumericOption("-dl", commandLine.diskLimit, parameters.diskLimit) &&
                         readNumericOption("-w", commandLine.waitTime, parameters.waitTime) &&
                         readNumericOption("-ml", commandLine.memoryLimit, parameters.memoryLimit);
    if (!allRead) return std::nullopt;
    return invocation;
}

void applyOverrides(const CommandLine& commandLine, ConnectionSettings& settings) {
    for (const auto& [option, member] : connectionOptionTable()) {
        const std::string& typed = commandLine.connections.*member;
        if (!typed.empty()) settings.connections.*member = typed;
    }
}

bool passesDateCheck(const RunParameters& parameters) {
    const bool hasStart = !parameters.startTime.empty();
    const bool hasEnd = !parameters.endTime.empty();
    if (hasStart != hasEnd) {
        LOG_AS("main", "Please enter both start and end times");
        logDateInput(parameters);
        return false;
    }
    if (!hasStart) return true;
    if (!isValidDate(parameters.startTime) || !isValidDate(parameters.endTime)) {
        LOG_AS("main", "The time format is incorrect (\"ex) 2025-01-01\")");
        logDateInput(parameters);
        return false;
    }
    if (convertToTimestamp(parameters.startTime) > convertToTimestamp(parameters.endTime)) {
        LOG_AS("main", "The end time must be greater than or equal to th start time");
        logDateInput(parameters);
        return false;
    }
    return true;
}

bool passesTuningCheck(RunParameters& parameters) {
    if (static_cast<std::uint64_t>(parameters.diskLimit) > 100) {
        LOG_AS("main", "Please check disk usage limit (0 ~ 100)");
        return false;
    }
    // The memory limit is a share of physical memory in percent; anything
    // outside 1 ... 100 would make the guard wait forever or never.
    if (parameters.memoryLimitSet && (parameters.memoryLimit < 1 || parameters.memoryLimit > 100)) {
        LOG_AS("main", "Please check memory usage limit (1 ~ 100)");
        return false;
    }
    if (parameters.batchCount < 1) {
        LOG_AS("main", "Adjust the number of batch count !! (50)");
        parameters.batchCount = 50;
    } else if (parameters.batchCount > 300) {
        LOG_AS("main", "Adjust the number of batch count !! (300)");
        parameters.batchCount = 300;
    }
    // Each job is a cursor on MongoDB and an insert on ClickHouse.
    if (parameters.jobs < 1 || parameters.jobs > 16) {
        parameters.jobs = parameters.jobs < 1 ? 1 : 16;
        LOG_AS("main", "Adjust the number of jobs !! (", parameters.jobs, ")");
    }
    if (parameters.waitTime < 1) {
        LOG_AS("main", "Adjust the number of wait time !! (10)");
        parameters.waitTime = 10;
    }
    // Report windows must advance, or the window loop would never end.
    if (parameters.interval < 1) {
        LOG_AS("main", "Adjust the number of interval !! (24)");
        parameters.interval = 24;
    }
    return true;
}

void writeBanner(const Invocation& invocation, const ConnectionSettings& settings) {
    const RunParameters& parameters = invocation.parameters;
    LOG_AS("main", "[Migration Info]");
    LOG_AS("main", "Tool Version  : ", "1.1.1");
    LOG_AS("main", "Start Option  : ", invocation.command);
    LOG_AS("main", "Start Time    : ", parameters.startTime);
    LOG_AS("main", "End   Time    : ", parameters.endTime);
    LOG_AS("main", "Nosql IP      : ", settings.connections.nosqlIp);
    LOG_AS("main", "QOROLAP IP    : ", settings.connections.olapIp);
    LOG_AS("main", "Input Product : ", parameters.product);
    LOG_AS("main", "Input Table   : ", parameters.table);
    LOG_AS("main", "Interval      : ", parameters.interval);
    LOG_AS("main", "Batch Count   : ", parameters.batchCount);
    LOG_AS("main", "Jobs          : ", parameters.jobs);
    LOG_AS("main", "Wait Time     : ", parameters.waitTime);
    LOG_AS("main", "File Info     : ", parameters.listFile, "\n");
}

void writeUsage() {
    std::cerr << "Please check the command you entered !!\n"
              << "Usage: qorolapmigrate [start|retry|repair|check|drop] -s <start_time> -e <end_time> "
                 "-p <product> -t <table> -i <interval_hours>\n";
}

void writeHelp() {
    std::cout
        << "Usage: qorolapmigrate [start|retry|repair|check|drop] -s <start_time> -e <end_time> "
           "-p <product> -t <table> -i <interval_hours>\n"
        << "\n"
        << "Commands:\n"
        << "  start   migrate the selected collections from MongoDB to ClickHouse\n"
        << "  retry   migrate the one collection named with -t again, clearing earlier results\n"
        << "          first when no date range is given\n"
        << "  repair  move exactly what ClickHouse lacks of the selected collections; nothing\n"
        << "          is deleted\n"
        << "  check   size the listed collections and judge the ClickHouse disk capacity\n"
        << "  drop    drop the collections of the list file given with -f, after one confirmation;\n"
        << "          holds the run lock like start, compares each collection again right\n"
        << "          before its drop and keeps one that is no longer whole\n"
        << "\n"
        << "Options:\n"
        << "  -s <YYYY-MM-DD>  first day of the range to migrate (with -e; default: none)\n"
        << "  -e <YYYY-MM-DD>  last day of the range to migrate (with -s; default: none)\n"
        << "  -p <product>     only the collections of this product-module key (default: all)\n"
        << "  -t <table>       only this collection; required by retry (default: all). Names\n"
        << "                   of ASCII letters, digits and _ only; any other is refused\n"
        << "  -i <hours>       report window length in hours (default: 24)\n"
        << "  -f <file>        list file that replaces the built-in catalogue; required by drop\n"
        << "                   (default: none)\n"
        << "  -n <count>       ObjectIds per bulk transfer (repair: runs and lone ids), 1 ~ 300\n"
        << "                   (default: 50)\n"
        << "  -j <count>       export-and-load pipelines at once, 1 ~ 16 (default: 1): a general\n"
        << "                   collection's span cut into that many ranges of equal counts, or that\n"
        << "                   many report windows, tb_base_report_data batches or repair batches at\n"
        << "                   a time; each is one cursor on MongoDB and one insert on ClickHouse\n"
        << "  -dl <percent>    stop when the ClickHouse disk is this full, 0 ~ 100, 0 = off\n"
        << "                   (default: 90)\n"
        << "  -w <seconds>     pause after each migrated collection (default: 10)\n"
        << "  -ml <percent>    wait before each bulk transfer while ClickHouse uses more than\n"
        << "                   this share of physical memory, 1 ~ 100 (default: off; 50 when given)\n"
        << "  -ni <host>       MongoDB host (default: qorrdb.host of qorrdb.properties)\n"
        << "  -nu <user>       MongoDB user (default: mydb.nosql.user of qor_system.cfg)\n"
        << "  -np <password>   MongoDB password (default: mydb.nosql.passwd of qor_system.cfg)\n"
        << "  -ci <host>       ClickHouse host (default: qorolap.host of qorolap.properties)\n"
        << "  -cu <user>       ClickHouse user (default: qorolap.user of qorolap.properties)\n"
        << "  -cp <password>   ClickHouse password (default: qorolap.password of "
           "qorolap.properties)\n"
        << "  --dry-run        start/retry/repair: read and decide as usual, but only show each\n"
        << "                   write (passwords as ***) instead of running it; the summary says\n"
        << "                   what a run would do (would migrate, would repair N)\n"
        << "  --delete-history  retry: also delete the rows of documents MongoDB no longer holds\n"
        << "                   that lie in the span it clears; without it such a retry clears\n"
        << "                   nothing, says how many rows it would delete, and ends 1\n"
        << "  -h, --help       this text\n"
        << "  --version        the tool's version\n"
        << "\n"
        << "Exit status:\n"
        << "  0    start/retry/repair: every MongoDB document of each selected collection's span\n"
        << "       (its oldest to its newest document, or the days of -s/-e) is in the completed\n"
        << "       table exactly once (or it holds none); check: everything sized; drop: the list\n"
        << "       dropped as confirmed, or the answer no\n"
        << "  1    anything else: a refusal, another run holding the lock, a failure, a\n"
        << "       collection not whole (in a dry run: one it would migrate, clear or repair);\n"
        << "       drop: a count unreadable, a drop failed, a collection kept for its mark,\n"
        << "       an answer but yes, force or no (or none before the input ended)\n"
        << "  130, 143, 129  stopped by SIGINT, SIGTERM or SIGHUP\n"
        << "\n"
        << "Rows of documents MongoDB let go are history and kept (a retry clears them inside\n"
        << "MongoDB's span only with --delete-history, repair keeps them, drop is not marked by\n"
        << "them); a row held twice fails the collection: run retry -t. Each side sums a span up\n"
        << "along its own index (a count and a fingerprint mixed from all twelve bytes of each id):\n"
        << "one mongosh aggregation over the _id bounds and one ClickHouse query over the oids,\n"
        << "and where they differ one call of each per level of pieces, down to pieces of 10,000\n"
        << "compared id by id. Documents whose _id is not an ObjectId are counted apart: while\n"
        << "there are any, the collection is not whole.\n";
}

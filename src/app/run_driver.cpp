#include "app/run_driver.h"

#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "app/context.h"
#include "app/pid_file.h"
#include "exec/dry_run.h"
#include "inspect/check.h"
#include "inspect/drop.h"
#include "migrate/run_summary.h"
#include "util/log.h"
#include "util/paths.h"

namespace {
bool claimSingleInstance() {
    if (isAlreadyRunning()) {
        std::cerr << "already running !!" << std::endl;
        return false;
    }
    return true;
}

std::string joinNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        if (!joined.empty()) joined += ", ";
        joined += name;
    }
    return joined;
}

// The description of the error being handled; anything that is not a
// standard error still ends the run the same way.
std::string describeCurrentError() {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown error";
    }
}

// A rehearsal reads as a real run does and writes nothing; the passwords
// it would have passed are masked in the commands it shows instead.
Host runHost(const RunParameters& parameters, const ConnectionSettings& settings) {
    if (!parameters.dryRun) return realHost();
    return dryRunHost(realHost(),
                      {settings.nosqlPasswd, settings.olapPassword, settings.rdbPassword});
}
}  // namespace

int runMigration(RunParameters parameters, const ConnectionSettings& settings) {
    if (!claimSingleInstance()) return 1;
    parameters.retryMode = parameters.command == "retry" ? 1 : 0;
    if (parameters.retryMode == 1 && parameters.table.empty()) {
        LOG_AS("main", "Please specify one table with the \"-t\" option");
        return 1;
    }
    if (!passesTuningCheck(parameters)) return 1;
    writeBanner(parameters, settings);
    if (parameters.dryRun)
        LOG_AS("main", "[DRY-RUN] Nothing is written: each write is shown instead of run");
    switch (writePidFile()) {
        case PidFileWrite::written:
            break;
        case PidFileWrite::taken:
            std::cerr << "already running !!" << std::endl;
            return 1;
        case PidFileWrite::failed:
            return 1;
    }

    std::vector<std::string> failures;
    try {
        const auto migrator = std::make_unique<OlapMigrator>(
            settings.nosqlIp, settings.nosqlUser, settings.nosqlPasswd, settings.olapIp,
            settings.olapUser, settings.olapPassword, parameters.startTime, parameters.endTime,
            parameters.product, parameters.table, parameters.interval, parameters.listFile,
            parameters.diskLimit, parameters.memoryLimit, parameters.retryMode,
            parameters.batchCount, parameters.memoryLimitSet ? 1 : 0, parameters.waitTime,
            runHost(parameters, settings));
        migrator->setLastsnowflakeId(settings.rdbHost, settings.rdbUser, settings.rdbPassword);
        setMigrationList(migrator->listFile);
        migrator->generalTableMigration();
        migrator->reportTableMigration();
        for (const std::string& line : runSummaryLines(migrator->runReport()))
            LOG_AS("main", line);
        LOG_AS("main", "**************** Migration End ****************");
        failures = migrator->runReport().failedCollections();
        if (!failures.empty()) {
            LOG_AS("main", "Migration finished with failures : ", joinNames(failures));
        }
    } catch (...) {
        LOG_AS("main", "Error: ", describeCurrentError());
        removePidFile();
        return 1;
    }
    removePidFile();
    // A collection that could not be moved must not look like a clean run to
    // whoever scripted it.
    return failures.empty() ? 0 : 1;
}

int runCheck(const RunParameters& parameters, const ConnectionSettings& settings) {
    setMigrationList(parameters.listFile);
    checkMigrationCapacity(rootedPath(paths::clickhouseStorage), settings.nosqlIp,
                           settings.nosqlUser, settings.nosqlPasswd);
    return 0;
}

int runDrop(const RunParameters& parameters, const ConnectionSettings& settings) {
    if (parameters.listFile.empty()) {
        LOG_AS("main", "Please specify the file with the \"-f\" option");
        return 0;
    }
    if (parameters.listFile.find("drop") == std::string::npos) {
        LOG_AS("main", "Please check the file name \"drop\" is not included  ex) drop_list.txt");
        return 0;
    }
    setMigrationList(parameters.listFile);
    dropCollections(settings.nosqlIp, settings.nosqlUser, settings.nosqlPasswd,
                    {settings.olapIp, settings.olapUser, settings.olapPassword});
    return 0;
}

#include "app/run_driver.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/pid_file.h"
#include "exec/dry_run.h"
#include "exec/private_file.h"
#include "inspect/check.h"
#include "inspect/drop.h"
#include "migrate/handoff.h"
#include "migrate/migration.h"
#include "migrate/run_summary.h"
#include "util/catalogue.h"
#include "util/log.h"
#include "util/paths.h"

namespace {
bool claimSingleInstance() {
    const EarlierRun earlier = findEarlierRun();
    if (earlier.alive) {
        std::cerr << "already running !!" << std::endl;
        return false;
    }
    // Its rows are still arriving: whatever this run counted or loaded now
    // would be wrong once they are in.
    if (earlier.child) {
        LOG_AS("main", "an earlier run's ", earlier.child->program, " (pid ", earlier.child->pid,
               ") is still running");
        return false;
    }
    return true;
}

// The PID file, once the way is free; "taken" by a run that started at the same moment.
bool writeOwnPidFile() {
    switch (writePidFile()) {
        case PidFileWrite::written:
            return true;
        case PidFileWrite::taken:
            std::cerr << "already running !!" << std::endl;
            return false;
        case PidFileWrite::failed:
            break;
    }
    return false;
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

// A rehearsal reads as a real run does and writes nothing.
Host runHost(const Invocation& invocation) {
    return invocation.dryRun ? dryRunHost(realHost()) : realHost();
}

// A misspelt -t must not end like a run that had nothing left to do; a -p
// that matches nothing is said, though a run over nothing is no failure.
bool selectsSomething(const OlapMigrator& run) {
    const RunParameters& parameters = run.parameters;
    bool any = false;
    forEachCollection(run.migrationList, [&](const std::string& key, const std::string& name) {
        any = any || isSelected(key, name, parameters.product, parameters.table);
    });
    if (any) return true;
    if (!parameters.table.empty()) {
        LOG_AS("main", parameters.table, " is not in the collection list");
        return false;
    }
    if (!parameters.product.empty()) LOG_AS("main", parameters.product, " is not in the collection list");
    return true;
}

// The steps of a run from the list file to the last collection. Every way
// out comes back here as the run report: the summary is written whatever
// happened, and only a run that went through to its end line may be 0.
int migrate(OlapMigrator& run) {
    try {
        // A list file that cannot be read, or a -t that names nothing, is
        // found before anything is written.
        if (setMigrationList(run.parameters.listFile, run.migrationList) && selectsSomething(run)) {
            if (!setLastsnowflakeId(run)) run.report.handoffFailed();
            generalTableMigration(run);
            reportTableMigration(run);
        } else {
            run.report.stop();
        }
    } catch (...) {
        LOG_AS("main", "Error: ", describeCurrentError());
        run.report.stop();
    }
    for (const std::string& line : runSummaryLines(run.report)) LOG_AS("main", line);
    if (const int signal = run.host.stopSignal(); signal != 0) return 128 + signal;
    if (run.report.stopped()) return 1;
    LOG_AS("main", "**************** Migration End ****************");
    const std::vector<std::string> failures = run.report.failures();
    if (failures.empty()) return 0;
    // A collection that could not be moved must not look like a clean run to
    // whoever scripted it, nor one a dry run would move like a whole one.
    LOG_AS("main", run.parameters.dryRun ? "Dry run finished, not whole or failed : "
                                         : "Migration finished with failures : ",
           joinNames(failures));
    return 1;
}
}  // namespace

int runMigration(Invocation invocation, const ConnectionSettings& settings) {
    if (!claimSingleInstance()) return 1;
    RunParameters& parameters = invocation.parameters;
    parameters.retryMode = invocation.command == "retry";
    parameters.repairMode = invocation.command == "repair";
    parameters.dryRun = invocation.dryRun;
    if (parameters.retryMode && parameters.table.empty()) {
        LOG_AS("main", "Please specify one table with the \"-t\" option");
        return 1;
    }
    if (!passesTuningCheck(parameters)) return 1;
    writeBanner(invocation, settings);
    if (invocation.dryRun)
        LOG_AS("main", "[DRY-RUN] Nothing is written: each write is shown instead of run");
    if (!writeOwnPidFile()) return 1;

    superviseChildren(childLedgerPath());
    removeLeftoverExportConfigs();
    const Host host = runHost(invocation);
    parameters.startedAt = host.now();
    const ConnectionRecord& connections = settings.connections;
    OlapMigrator run{
        .mongo = {connections.nosqlIp, connections.nosqlUser, connections.nosqlPasswd},
        .clickhouse = {connections.olapIp, connections.olapUser, connections.olapPassword},
        .postgres = {settings.rdbHost, settings.rdbUser, settings.rdbPassword},
        .parameters = parameters,
        .migrationList = builtInCatalogue(),
        .host = host,
        .report = {},
    };
    const int status = migrate(run);
    removePidFile();
    return status;
}

int runCheck(const Invocation& invocation, const ConnectionSettings& settings) {
    ProductCatalogue catalogue = builtInCatalogue();
    if (!setMigrationList(invocation.parameters.listFile, catalogue)) return 1;
    const ConnectionRecord& connections = settings.connections;
    const bool judged = checkMigrationCapacity(
        catalogue, rootedPath(paths::clickhouseStorage),
        {connections.nosqlIp, connections.nosqlUser, connections.nosqlPasswd});
    return judged ? 0 : 1;
}

int runDrop(const Invocation& invocation, const ConnectionSettings& settings) {
    const std::string& listFile = invocation.parameters.listFile;
    if (listFile.empty()) {
        LOG_AS("main", "Please specify the file with the \"-f\" option");
        return 1;
    }
    if (listFile.find("drop") == std::string::npos) {
        LOG_AS("main", "Please check the file name \"drop\" is not included  ex) drop_list.txt");
        return 1;
    }
    // A retry that clears a collection while the operator reads the list, or
    // before the answer comes, would be followed by a drop of its only copy.
    if (!claimSingleInstance() || !writeOwnPidFile()) return 1;
    // Ctrl-C at the question ends the wait for the answer, and the PID file
    // goes with the drop.
    superviseChildren(childLedgerPath(), true);
    ProductCatalogue catalogue;
    const ConnectionRecord& connections = settings.connections;
    const bool asked =
        setMigrationList(listFile, catalogue) &&
        dropCollections(catalogue, {connections.nosqlIp, connections.nosqlUser, connections.nosqlPasswd},
                        {connections.olapIp, connections.olapUser, connections.olapPassword});
    removePidFile();
    if (const int signal = stopSignal(); signal != 0) return 128 + signal;
    return asked ? 0 : 1;
}

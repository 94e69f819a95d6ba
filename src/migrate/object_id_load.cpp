// The batched load of a collection through its ObjectId list: export the ids
// of the wanted window to the work files, then one export-and-load pipeline
// per batch of ids.

#include <cstdio>
#include <fstream>

#include "exec/commands.h"
#include "exec/private_file.h"
#include "exec/runners.h"
#include "migrate/guards.h"
#include "migrate/movers.h"
#include "migrate/object_id_list.h"
#include "util/dates.h"
#include "util/log.h"
#include "util/paths.h"

namespace {
// Opened for appending, so a list an earlier export left behind stays as it
// is until the export itself overwrites it.
bool canWrite(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) return false;
    return std::fclose(file) == 0;
}
}  // namespace

std::int32_t exportObjectIdList(const OlapMigrator& run, const std::string& collection,
                                const std::string& lower, const std::string& upper) {
    const std::string tempFile = rootedPath(paths::oidTempFile);
    const std::string listFile = rootedPath(paths::oidListFile);
    // A work file that cannot be written must not pass for an empty window.
    if (!canWrite(tempFile)) {
        LOG("Cannot write the work file ", tempFile);
        return -1;
    }
    const PrivateFile config(exportConfigPath(), exportConfigText(run.mongo));
    if (!config.created()) {
        LOG("Cannot write the work file ", config.path());
        return -1;
    }
    const CommandOutput exported = executeCommand(
        objectIdListExportCommand(run.mongo, collection, lower, upper,
                                  makeObjectIdFromTime(run.parameters.exportFloorTime()),
                                  config.path()),
        run.host);
    if (exported.failed()) {
        LOG(collection, " ObjectId list export failed (", exported.failure(), ")");
        return -1;
    }
    return extractObjectIds(tempFile, listFile);
}

bool tb_base_report_data_migration(const OlapMigrator& run, const std::string& collection) {
    const std::string listFile = rootedPath(paths::oidListFile);
    bool everyBatchMoved = true;
    {
        std::ifstream list(listFile);
        if (!list) {
            LOG("Cannot read the work file ", listFile);
            everyBatchMoved = false;
        }
        ObjectIdBatchReader reader(list, run.parameters.batchCount);
        ObjectIdBatch batch;
        while (run.host.stopSignal() == 0 && reader.next(batch)) {
            if (run.parameters.memoryLimitSet) checkClickHouseMemory(run);
            if (executeMigrationCommand(run, collection, batch.upper, batch.lower)) {
                LOG("OID : ", batch.lower, " ~ ", batch.upper, " migration completed");
            } else {
                LOG("OID : ", batch.lower, " ~ ", batch.upper, " migration failed");
                everyBatchMoved = false;
            }
        }
        if (list.bad()) {
            LOG("Cannot read the work file ", listFile);
            everyBatchMoved = false;
        }
    }
    std::remove(rootedPath(paths::oidTempFile).c_str());
    std::remove(listFile.c_str());
    return everyBatchMoved;
}

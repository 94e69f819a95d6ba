// The batched load of a collection through its ObjectId list: export the ids
// of the wanted window to the work files, then one export-and-load pipeline
// per batch of ids.

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "exec/mongo_export_commands.h"
#include "exec/private_file.h"
#include "exec/runners.h"
#include "migrate/guards.h"
#include "migrate/movers.h"
#include "migrate/object_id_list.h"
#include "util/dates.h"
#include "util/log.h"
#include "util/paths.h"

std::int32_t exportObjectIdList(const OlapMigrator& run, const std::string& collection,
                                const std::string& lower, const std::string& upper) {
    const std::string tempFile = rootedPath(paths::oidTempFile);
    // Made here, so that the exporter's "> file" opens this file and not a
    // link planted in its place; one that cannot be made must not pass for
    // an empty window.
    const int made = createWorkFile(tempFile);
    if (made < 0) return -1;
    close(made);
    const CommandOutput exported = executeCommand(
        objectIdListExportCommand(run.mongo, collection, lower, upper,
                                  makeObjectIdFromTime(run.parameters.exportFloorTime()),
                                  exportConfigPath()),
        run.host);
    if (exported.failed()) {
        LOG(collection, " ObjectId list export failed (", exported.failure(), ")");
        return -1;
    }
    return extractObjectIds(tempFile, rootedPath(paths::oidListFile));
}

bool tb_base_report_data_migration(const OlapMigrator& run, const std::string& collection, const Tick& tick) {
    const std::string listFile = rootedPath(paths::oidListFile);
    bool everyBatchMoved = true;
    {
        std::ifstream list(listFile);
        if (!list) {
            LOG("Cannot read the work file ", listFile);
            everyBatchMoved = false;
        }
        ObjectIdBatchReader reader(list, run.parameters.batchCount);
        const auto nextBatch = [&]() -> std::optional<Load> {
            ObjectIdBatch batch;
            if (!reader.next(batch)) return std::nullopt;
            // Read before each batch starts: the ones running already weigh on it.
            if (run.parameters.memoryLimitSet && !checkClickHouseMemory(run)) {
                everyBatchMoved = false;
                return std::nullopt;
            }
            return Load{exportQueryOption(batch.upper, batch.lower), [batch](bool moved) {
                            LOG_AS("tb_base_report_data_migration", "OID : ", batch.lower, " ~ ", batch.upper,
                                   moved ? " migration completed" : " migration failed");
                        }};
        };
        if (!moveLoads(run, collection, nextBatch, tick)) everyBatchMoved = false;
        if (reader.badLine() != 0) {
            LOG("Cannot use line ", reader.badLine(), " of the work file ", listFile, " : not an ObjectId");
            everyBatchMoved = false;
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

#include "migrate/repair.h"

#include <sstream>
#include <string>
#include <vector>

#include "compare/repair_work_file.h"
#include "exec/mongo_export_commands.h"
#include "migrate/finish.h"
#include "migrate/guards.h"
#include "migrate/movers.h"
#include "migrate/progress.h"
#include "migrate/verify.h"
#include "util/log.h"

namespace {
bool cannotWrite(const CollectionKind& kind, const std::string& path) {
    LOG_AS(kind.loggedAs, "Cannot write the work file ", path);
    return false;
}

struct Moved {
    std::int64_t documents = 0;
    bool everyBatch = true;
};

class Mover {
public:
    Mover(const OlapMigrator& run, const CollectionKind& kind) : run_(run), kind_(kind) {}

    // The runs and lone ids in `terms`, in batches of `-n`, one
    // export-and-load pipeline each, up to `-j` of them at a time.
    Moved move(RepairWorkFile& terms, const Tick& tick) const {
        Moved moved;
        std::size_t batches = 0;
        const auto nextBatch = [&]() -> std::optional<Load> {
            for (;;) {
                std::vector<ObjectIdSpan> ranges;
                std::vector<std::string> ids;
                std::int64_t documents = 0;
                std::string line;
                while (ranges.size() + ids.size() < static_cast<std::size_t>(run_.parameters.batchCount) &&
                       terms.readLine(line)) {
                    std::istringstream term(line);
                    std::string lower;
                    std::string upper;
                    std::int64_t count = 0;
                    term >> lower >> upper >> count;
                    if (lower == upper)
                        ids.push_back(lower);
                    else
                        ranges.push_back({.lower = lower, .upper = upper});
                    documents += count;
                }
                if (documents == 0) return std::nullopt;
                if (run_.parameters.memoryLimitSet && !checkClickHouseMemory(run_)) {
                    moved.everyBatch = false;
                    return std::nullopt;
                }
                // Each batch its own query file: up to -j of them are read at once.
                const auto query = std::make_shared<RepairWorkFile>("query-" + std::to_string(++batches) + ".json");
                if (!query->opened() || !query->write(objectIdQueryText(ranges, ids)) || !query->finishWriting()) {
                    cannotWrite(kind_, query->path());
                    moved.everyBatch = false;
                    continue;
                }
                LOG_AS(kind_.loggedAs, kind_.name, " repair moves ", documents, " documents : ", ranges.size(),
                       " runs by their bounds, ", ids.size(), " by their ids");
                return Load{queryFileOption(query->path()),
                            [&moved, documents](bool done) {
                                if (done) moved.documents += documents;
                                moved.everyBatch = moved.everyBatch && done;
                            },
                            query};
            }
        };
        moveLoads(run_, kind_.name, nextBatch, tick);
        return moved;
    }

private:
    const OlapMigrator& run_;
    const CollectionKind& kind_;
};
}  // namespace

Outcome repairCollection(const OlapMigrator& run, const CollectionKind& kind, const ObjectIdSpan& span,
                         CollectionRecord& record) {
    RepairWorkFile terms("runs.txt");
    if (!terms.opened()) {
        cannotWrite(kind, terms.path());
        return Outcome::failed;
    }
    const auto writeTerm = [&terms](const MissingTerm& term) {
        terms.write(term.lower + " " + term.upper + " " + std::to_string(term.documents) + "\n");
    };
    const std::optional<SpanFindings> found = verifyMigratedSpan(run, kind, span, writeTerm);
    if (!found) return Outcome::failed;
    if (found->whole()) {
        record.verified = found->documents.count;
        return Outcome::complete;
    }
    if (found->twice > 0) record.twice = found->twice;
    if (found->missing == 0) return Outcome::failed;
    if (!terms.finishWriting()) {
        cannotWrite(kind, terms.path());
        return Outcome::failed;
    }
    if (run.parameters.dryRun)
        LOG_AS(kind.loggedAs, kind.name, " repair would move ", found->missing, " documents");
    Progress progress(run, kind, span, found->rows.count);
    const Moved moved = Mover(run, kind).move(terms, [&progress] { progress.tick(); });
    record.repaired = moved.documents;
    // The counts are in the log; a repair's summary names what it moved.
    CollectionRecord counts;
    const bool finished = finishMigratedCollection(run, kind, counts);
    if (run.parameters.dryRun) return found->twice > 0 ? Outcome::failed : Outcome::repaired;
    const std::optional<SpanFindings> after = verifyMigratedSpan(run, kind, span);
    if (after) {
        if (after->whole()) record.verified = after->documents.count;
        record.twice = after->twice > 0 ? std::optional(after->twice) : std::nullopt;
    }
    const bool mended = finished && moved.everyBatch && after && after->whole();
    return mended ? Outcome::repaired : Outcome::failed;
}

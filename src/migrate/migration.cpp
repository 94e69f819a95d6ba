#include "migrate/migration.h"

#include "exec/shell_quote.h"
#include "migrate/clearing.h"
#include "migrate/collection_state.h"
#include "migrate/finish.h"
#include "migrate/guards.h"
#include "migrate/movers.h"
#include "migrate/preprocess.h"
#include "migrate/repair.h"
#include "migrate/verify.h"
#include "util/catalogue.h"
#include "util/log.h"

namespace {
enum class MoveResult { moved, failed, notStarted, nothingListed };

MoveResult carryOutMove(const OlapMigrator& run, const CollectionKind& kind, const Plan& plan) {
    const auto movedIf = [](bool moved) { return moved ? MoveResult::moved : MoveResult::failed; };
    switch (plan.move) {
        case Move::pipeline:
            return movedIf(executeMigrationCommand(run, kind.name, plan.upperOid, plan.lowerOid));
        case Move::windows:
            return movedIf(moveWindows(run, kind.name, kind.loggedAs, plan.newest, plan.oldest));
        case Move::objectIdList:
            break;
        case Move::nothing:
        case Move::repair:
            return MoveResult::moved;
    }
    const std::int32_t listed = exportObjectIdList(run, kind.name, plan.lowerOid, plan.upperOid);
    if (listed < 0) return MoveResult::notStarted;
    if (listed == 0) return MoveResult::nothingListed;
    if (!plan.listedLine.empty()) LOG_AS(kind.loggedAs, plan.listedLine);
    return movedIf(tb_base_report_data_migration(run, kind.name));
}

// The plan's outcome when the counts agree. A rehearsal loads nothing, so
// what it would have moved is counted and shown but not judged.
Outcome verified(const OlapMigrator& run, const CollectionKind& kind, const Plan& plan,
                 CollectionRecord& record) {
    if (!plan.verify) return plan.outcome;
    const VerifiedSpan span = verifyMigratedSpan(run, kind, *plan.verify);
    if (span.result == Verification::equal) {
        record.verified = span.documents;
        return plan.outcome;
    }
    if (span.result == Verification::unreadable) return Outcome::failed;
    if (run.parameters.dryRun && plan.move != Move::nothing) return plan.outcome;
    return plan.whenUnequal;
}

Outcome carryOut(const OlapMigrator& run, const CollectionKind& kind, const Plan& plan,
                 CollectionRecord& record) {
    for (const std::string& line : plan.lines) LOG_AS(kind.loggedAs, line);
    if (plan.move == Move::repair) return repairCollection(run, kind, *plan.verify, record);
    if (plan.move == Move::nothing) return verified(run, kind, plan, record);
    if (plan.clearFirst && !deleteOriginalTable(run, kind, plan.clearUpTo, plan.clearAbove)) {
        LOG_AS(kind.loggedAs, kind.name, " previous data could not be cleared, migration skipped");
        return Outcome::failed;
    }
    for (const std::string& line : plan.linesAfterClearing) LOG_AS(kind.loggedAs, line);
    const MoveResult moved = carryOutMove(run, kind, plan);
    if (moved == MoveResult::notStarted) return Outcome::failed;
    if (moved == MoveResult::nothingListed) return Outcome::empty;
    if (!plan.closingLine.empty()) LOG_AS(kind.loggedAs, plan.closingLine);
    finishMigratedCollection(run, kind, record);
    if (moved == MoveResult::failed) return Outcome::failed;
    return verified(run, kind, plan, record);
}

Outcome migrateCollection(const OlapMigrator& run, const CollectionKind& kind,
                          CollectionRecord& record) {
    if (!diskUsageExceedCheck(run.parameters.diskLimit, run.host)) return Outcome::stopped;
    const StateReading reading = readCollectionState(run, kind);
    if (!reading.state) return reading.outcome;
    const Plan plan = decide(kind, reading.state->span, reading.state->edges, run.parameters);
    return carryOut(run, kind, plan, record);
}

void migratePass(OlapMigrator& run, bool reportPass) {
    bool preprocessed = false;
    forEachCollection(run.migrationList, [&](const std::string& key, const std::string& name) {
        const RunParameters& parameters = run.parameters;
        if (run.report.stopped() || !isSelected(key, name, parameters.product, parameters.table))
            return;
        const CollectionKind kind = kindOf(name);
        if (kind.isReport != reportPass) return;
        CollectionRecord record;
        record.name = name;
        // A name goes into JavaScript, JSON and SQL, where shell quoting
        // cannot protect anything, so it is checked before any command.
        if (!isAcceptableCollectionName(name)) {
            LOG_AS(kind.loggedAs, name,
                   " collection name is not accepted (letters, digits, '_', '.' and '-' only), "
                   "skipped");
            record.outcome = Outcome::refusedName;
            run.report.record(std::move(record));
            return;
        }
        const std::int64_t began = run.host.now();
        const Preprocessing preprocessing =
            kind.isReport && !preprocessed ? executeReportTypePreprocessCommand(run) : Preprocessing::done;
        preprocessed = preprocessing == Preprocessing::done;
        // A collection whose conversion state is unknown may still hold text
        // where the target expects numbers: it waits for a run that can tell.
        record.outcome = preprocessing == Preprocessing::unchecked
                             ? Outcome::failed
                             : migrateCollection(run, kind, record);
        record.seconds = run.host.now() - began;
        run.report.record(std::move(record));
    });
}
}  // namespace

void generalTableMigration(OlapMigrator& run) { migratePass(run, false); }

void reportTableMigration(OlapMigrator& run) { migratePass(run, true); }

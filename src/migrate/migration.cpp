#include "migrate/migration.h"

#include <optional>

#include "exec/child_groups.h"
#include "exec/shell_quote.h"
#include "migrate/clearing.h"
#include "migrate/collection_state.h"
#include "migrate/finish.h"
#include "migrate/guards.h"
#include "migrate/movers.h"
#include "migrate/preprocess.h"
#include "migrate/progress.h"
#include "migrate/repair.h"
#include "migrate/verify.h"
#include "util/catalogue.h"
#include "util/log.h"

namespace {
enum class MoveResult { moved, failed, notStarted, nothingListed };

MoveResult carryOutMove(const OlapMigrator& run, const CollectionKind& kind, const Plan& plan) {
    const auto movedIf = [](bool moved) { return moved ? MoveResult::moved : MoveResult::failed; };
    // Nothing of the span is in ClickHouse when a move begins: a retry has
    // cleared it, and a start moves only into an empty span.
    Progress progress(run, kind, plan.verify.value_or(ObjectIdSpan{}), 0);
    const Tick tick = [&progress] { progress.tick(); };
    switch (plan.move) {
        case Move::pipeline:
            return movedIf(moveRanges(run, kind.name, plan.verify.value_or(ObjectIdSpan{}), plan.upperOid,
                                      plan.lowerOid, tick));
        case Move::windows:
            return movedIf(moveWindows(run, kind.name, kind.loggedAs, plan, tick));
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
    return movedIf(tb_base_report_data_migration(run, kind.name, tick));
}

// The plan's outcome when every document of its span is in ClickHouse
// exactly once. A row held twice is a fault no later start or repair can
// mend. A rehearsal loads nothing, so what it would have moved is compared
// and shown but not judged.
Outcome verified(const OlapMigrator& run, const CollectionKind& kind, const Plan& plan,
                 CollectionRecord& record) {
    if (!plan.verify) return plan.outcome;
    const std::optional<SpanFindings> found = verifyMigratedSpan(run, kind, *plan.verify);
    if (!found) return Outcome::failed;
    if (found->whole()) {
        record.verified = found->documents.count;
        return plan.outcome;
    }
    if (run.parameters.dryRun && plan.move != Move::nothing) return plan.outcome;
    if (found->twice > 0) record.twice = found->twice;
    // Neither a start nor a repair can mend those.
    if (found->twice > 0 || found->otherIds > 0) return Outcome::failed;
    return plan.whenUnequal;
}

Outcome carryOut(const OlapMigrator& run, const CollectionKind& kind, const Plan& plan,
                 CollectionRecord& record) {
    for (const std::string& line : plan.lines) LOG_AS(kind.loggedAs, line);
    if (plan.move == Move::repair) return repairCollection(run, kind, *plan.verify, record);
    if (plan.move == Move::nothing) return verified(run, kind, plan, record);
    if (plan.clearing && !deleteOriginalTable(run, kind, *plan.clearing)) {
        LOG_AS(kind.loggedAs, kind.name, " previous data could not be cleared, migration skipped");
        return Outcome::failed;
    }
    for (const std::string& line : plan.linesAfterClearing) LOG_AS(kind.loggedAs, line);
    const MoveResult moved = carryOutMove(run, kind, plan);
    // What a stopped load left is found and mended by the next run.
    if (run.host.stopSignal() != 0) return Outcome::interrupted;
    if (moved == MoveResult::notStarted) return Outcome::failed;
    if (moved == MoveResult::nothingListed) return Outcome::empty;
    if (!plan.closingLine.empty()) LOG_AS(kind.loggedAs, plan.closingLine);
    const bool finished = finishMigratedCollection(run, kind, record);
    if (moved == MoveResult::failed || !finished) return Outcome::failed;
    return verified(run, kind, plan, record);
}

// A dry run moves nothing, so a collection it would move, clear or repair is
// still not whole in ClickHouse: its summary says what a run would do, and
// the dry run ends as that run would have to begin.
Outcome rehearsed(Outcome outcome, CollectionRecord& record) {
    if (outcome != Outcome::repaired) record.repaired.reset();
    switch (outcome) {
        case Outcome::migrated:
            return Outcome::wouldMigrate;
        case Outcome::migratedAfterClearing:
            return Outcome::wouldMigrateAfterClearing;
        case Outcome::repaired:
            return Outcome::wouldRepair;
        default:
            return outcome;
    }
}

Outcome migrateCollection(const OlapMigrator& run, const CollectionKind& kind,
                          CollectionRecord& record) {
    if (!diskUsageExceedCheck(run.parameters.diskLimit, run.host)) return Outcome::stopped;
    const StateReading reading = readCollectionState(run, kind);
    if (!reading.state) return reading.outcome;
    const Plan plan = decide(kind, reading.state->span, reading.state->edges, run.parameters);
    const Outcome outcome = carryOut(run, kind, plan, record);
    return run.parameters.dryRun ? rehearsed(outcome, record) : outcome;
}

// A report collection may hold text where the target expects numbers until
// the conversion is known to be done. Rows loaded before it would keep the
// text for good, so the collection waits for a run that converts it.
Outcome waitForConversion(const CollectionKind& kind) {
    LOG_AS(kind.loggedAs, kind.name, " waits for the merge_seq conversion");
    return Outcome::failed;
}

void migratePass(OlapMigrator& run, bool reportPass) {
    std::optional<Preprocessing> preprocessing;
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
                   " collection name is not accepted (letters, digits and '_' only), skipped");
            record.outcome = Outcome::refusedName;
            run.report.record(std::move(record));
            return;
        }
        const std::int64_t began = run.host.now();
        const auto recordVisit = [&] {
            record.seconds = run.host.now() - began;
            run.report.record(std::move(record));
        };
        try {
            if (kind.isReport && !preprocessing && run.host.stopSignal() == 0)
                preprocessing = executeReportTypePreprocessCommand(run);
            // A signal between two collections stops the run at the next one,
            // before any of its commands.
            if (run.host.stopSignal() == 0)
                record.outcome = kind.isReport && preprocessing != Preprocessing::done
                                     ? waitForConversion(kind)
                                     : migrateCollection(run, kind, record);
        } catch (...) {
            // The driver ends the run on the error; the summary still names
            // the collection it stopped at.
            record.outcome = Outcome::stopped;
            recordVisit();
            throw;
        }
        if (const int signal = run.host.stopSignal(); signal != 0) {
            LOG_AS(kind.loggedAs, name, " interrupted by ", signalName(signal));
            record.outcome = Outcome::interrupted;
        }
        recordVisit();
    });
}
}  // namespace

void generalTableMigration(OlapMigrator& run) { migratePass(run, false); }

void reportTableMigration(OlapMigrator& run) { migratePass(run, true); }

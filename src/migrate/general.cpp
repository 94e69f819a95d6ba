#include "app/catalogue.h"
#include "app/context.h"
#include "migrate/collection_visit.h"
#include "migrate/name_check.h"
#include "util/dates.h"
#include "util/log.h"

namespace {
// Operators know these lines as the general pass's, whichever helper writes them.
constexpr const char* pass = "generalTableMigration";
// ClickHouse needs a moment to carry the staged rows on before they are counted.
constexpr unsigned settleSeconds = 2;

// One selected collection: moved whole, or the ObjectId window of the
// requested dates.
class GeneralCollection {
public:
    GeneralCollection(const OlapMigrator& migrator, const std::string& collection)
        : migrator_(migrator), visit_(migrator, collection, pass) {}

    void migrate() {
        visit_.record([this] { return decideAndMove(); });
    }

private:
    const std::string& name() const { return visit_.name(); }

    Outcome decideAndMove() {
        Outcome outcome = Outcome::failed;
        const std::optional<CollectionState> state = visit_.readState(outcome);
        if (!state) return outcome;
        if (migrator_.startTime.empty() || migrator_.endTime.empty()) return wholeCollection(*state);
        return dateRange(state->span);
    }

    Outcome wholeCollection(const CollectionState& state) {
        LOG_AS(pass, "migration table : ", name(), ", range : ALL");
        bool cleared = false;
        if (migrator_.retryMode == 1) {
            if (!migrator_.deleteOriginalTable(name(), "general")) {
                LOG_AS(pass, name(), " previous data could not be cleared, migration skipped");
                return Outcome::failed;
            }
            cleared = true;
        } else if (state.span.count != 0) {
            if (state.oldestDocument.find(state.span.firstOid) == std::string::npos)
                return visit_.warnDiffers(state.span);
            LOG_AS(pass, name(), " collection all migrations were processed successfully \n");
            return Outcome::complete;
        }
        const bool moved = migrator_.executeMigrationCommand(name(), "", "");
        // The closing line has no end-of-range text in this mode, hence the two blanks.
        LOG_AS(pass, "migration table : ", name(), ", range :  ~  ALL");
        visit_.finish(settleSeconds);
        if (!moved) return Outcome::failed;
        return cleared ? Outcome::migratedAfterClearing : Outcome::migrated;
    }

    Outcome dateRange(const MigratedSpan& span) {
        const std::string rangeStartText = migrator_.startTime + " 00:00:00";
        const std::string rangeEndText = migrator_.endTime + " 23:59:59";
        const std::int64_t start = convertToTimestamp(rangeStartText);
        const std::int64_t end = convertToTimestamp(rangeEndText);
        if (visit_.skipsMigratedRange(span, rangeStartText, rangeEndText, start, end))
            return Outcome::skippedOverlap;
        LOG_AS(pass, "migration table : ", name(), ", range : ", rangeEndText, " ~ ",
               rangeStartText);
        // The range ends with the last second of the end date, so the upper
        // bound takes in every ObjectId of that second.
        const bool moved = migrator_.executeMigrationCommand(name(), makeLastObjectIdOfTime(end),
                                                             makeObjectIdFromTime(start));
        visit_.finish(settleSeconds);
        return moved ? Outcome::migrated : Outcome::failed;
    }

    const OlapMigrator& migrator_;
    CollectionVisit visit_;
};
}  // namespace

void OlapMigrator::generalTableMigration() const {
    forEachCollection(migrationList, [this](const std::string& key, const std::string& name) {
        if (!isSelected(key, name, product, table) || isReportTable(name)) return;
        if (!admitCollectionName(*this, name, pass)) return;
        GeneralCollection(*this, name).migrate();
    });
}

// The report pass: the four report collections, dated by a field of their
// documents, moved in windows of `interval` hours or, for the base report
// data, through its ObjectId list.

#include "app/catalogue.h"
#include "app/context.h"
#include "exec/commands.h"
#include "migrate/collection_visit.h"
#include "migrate/report_windows.h"
#include "util/dates.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
// Operators know these lines as the report pass's, whichever helper writes them.
constexpr const char* pass = "reportTableMigration";
constexpr const char* dateTimePattern = "%Y-%m-%d %H:%M:%S";
// The report pass counts as soon as its last load has ended; its one pause,
// the wait time, comes after the counts.
constexpr unsigned settleSeconds = 0;
constexpr const char* baseReportData = "tb_base_report_data";

EdgeField timeFieldOf(const std::string& collection) {
    return collection == baseReportData ? EdgeField::dataDate : EdgeField::createTime;
}

// One selected report collection, from the preprocessing to the record of
// its outcome.
class ReportCollection {
public:
    ReportCollection(const OlapMigrator& migrator, const std::string& collection)
        : migrator_(migrator), visit_(migrator, collection, pass) {}

    void migrate() {
        visit_.record([this] { return decideAndMove(); });
    }

private:
    const std::string& name() const { return visit_.name(); }
    bool isBaseReportData() const { return name() == baseReportData; }

    Outcome decideAndMove() {
        migrator_.executeReportTypePreprocessCommand();
        Outcome outcome = Outcome::failed;
        const std::optional<CollectionState> state = visit_.readState(outcome);
        if (!state) return outcome;
        if (migrator_.startTime.empty() || migrator_.endTime.empty())
            return wholeCollection(state->span, state->oldestDocument);
        return dateRange(state->span);
    }

    Outcome wholeCollection(const MigratedSpan& span, const std::string& oldestDocument) {
        bool cleared = false;
        if (migrator_.retryMode == 1) {
            if (!migrator_.deleteOriginalTable(name(), "report")) {
                LOG_AS(pass, name(), " previous data could not be cleared, migration skipped");
                return Outcome::failed;
            }
            cleared = true;
        }
        const std::string oldestValue = removeNewlines(
            executeCommand(edgeTimeCommand(migrator_.mongoLogin(), name(), timeFieldOf(name()), 1),
                           migrator_.host())
                .text);
        if (oldestValue.empty()) return noDataToMigrate();
        const std::string first = getDataStr(oldestValue);
        const std::string newestValue = migrator_.getCollectionEdgeTime(name(), -1);
        if (newestValue.empty()) return noDataToMigrate();
        const std::string last = getDataStr(newestValue);

        const std::string startBound = first.substr(0, 10) + " 00:00:00";
        const std::string endBound = last.substr(0, 10) + " 23:59:59";
        LOG_AS(pass, name(), " collection mongodb data range : ", endBound, " ~ ", startBound);
        const std::int64_t end = convertToTimestamp(endBound);
        const std::int64_t start = convertToTimestamp(startBound);

        // What a retry has just cleared no longer counts as migrated.
        if (!cleared && span.count != 0) {
            if (oldestDocument.find(span.firstOid) != std::string::npos) {
                LOG_AS(pass, name(), " collection all migrations were processed successfull \n");
                return Outcome::complete;
            }
            return visit_.warnDiffers(span);
        }

        bool moved = true;
        if (isBaseReportData()) {
            const std::int32_t listed = migrator_.exportObjectIdList(name(), "", "");
            if (listed < 0) return Outcome::failed;
            if (listed == 0) return Outcome::empty;
            LOG_AS(pass, "migration table : ", name(), ", range : ",
                   formatTime(migrator_.startedAt, dateTimePattern), " ~ ",
                   formatTime(migrator_.exportFloorTime, dateTimePattern));
            moved = migrator_.tb_base_report_data_migration(name());
        } else {
            moved = moveWindows(end, start);
            LOG_AS(pass, "migration table : ", name(), ", range : ", endBound, " ~  ALL");
        }
        visit_.finish(settleSeconds);
        if (!moved) return Outcome::failed;
        return cleared ? Outcome::migratedAfterClearing : Outcome::migrated;
    }

    Outcome dateRange(const MigratedSpan& span) {
        const std::string startBound = migrator_.startTime + " 00:00:00";
        const std::string endBound = migrator_.endTime + " 23:59:59";
        const std::int64_t start = convertToTimestamp(startBound);
        const std::int64_t end = convertToTimestamp(endBound);
        if (visit_.skipsMigratedRange(span, startBound, endBound, start, end))
            return Outcome::skippedOverlap;
        LOG_AS(pass, "migration table : ", name(), ", range : ", endBound, " ~ ", startBound);

        bool moved = true;
        if (isBaseReportData()) {
            // The list ends with the last second of the end date, all of it.
            const std::int32_t listed = migrator_.exportObjectIdList(
                name(), makeObjectIdFromTime(start), makeLastObjectIdOfTime(end));
            if (listed < 0) return Outcome::failed;
            if (listed == 0) return Outcome::empty;
            moved = migrator_.tb_base_report_data_migration(name());
        } else {
            moved = moveWindows(end, start);
        }
        visit_.finish(settleSeconds);
        return moved ? Outcome::migrated : Outcome::failed;
    }

    // Every window is tried even after one failed: the others hold data of
    // their own, and the failed one is named in its own log line.
    bool moveWindows(std::int64_t end, std::int64_t start) const {
        bool everyWindowMoved = true;
        for (const ReportWindow& window : planReportWindows(end, start, migrator_.interval)) {
            LOG_AS(pass, "migration table : ", formatTime(window.newest, dateTimePattern), "  ~ ",
                   formatTime(window.oldest, dateTimePattern));
            if (!migrator_.executeMigrationCommand(name(), window.upperObjectId(),
                                                   window.lowerObjectId()))
                everyWindowMoved = false;
        }
        return everyWindowMoved;
    }

    Outcome noDataToMigrate() const {
        LOG_AS(pass, name(), " collection is no data to migrate. ");
        return Outcome::empty;
    }

    const OlapMigrator& migrator_;
    CollectionVisit visit_;
};
}  // namespace

void OlapMigrator::reportTableMigration() const {
    forEachCollection(migrationList, [this](const std::string& key, const std::string& name) {
        if (!isSelected(key, name, product, table) || !isReportTable(name)) return;
        ReportCollection(*this, name).migrate();
    });
}

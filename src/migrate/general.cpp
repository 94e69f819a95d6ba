#include "app/catalogue.h"
#include "app/context.h"
#include "exec/commands.h"
#include "migrate/finish.h"
#include "migrate/guards.h"
#include "migrate/migrated_span.h"
#include "migrate/name_check.h"
#include "util/dates.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
// Operators know these lines as the general pass's, whichever helper writes them.
constexpr const char* pass = "generalTableMigration";
// ClickHouse needs a moment to carry the staged rows on before they are counted.
constexpr unsigned settleSeconds = 2;

// One selected collection, from the disk guard to the record of its outcome.
class GeneralCollection {
public:
    GeneralCollection(const OlapMigrator& migrator, const std::string& collection)
        : migrator_(migrator), startedAt_(migrator.host().now()) {
        record_.name = collection;
    }

    void migrate() {
        record_.outcome = decideAndMove();
        record_.seconds = migrator_.host().now() - startedAt_;
        migrator_.runReport().record(record_);
    }

private:
    const std::string& name() const { return record_.name; }

    Outcome decideAndMove() {
        diskUsageExceedCheck(migrator_.diskLimit, migrator_.host());
        const std::optional<MigratedSpan> span = readMigratedSpan(migrator_, name());
        if (!span) {
            LOG_AS(pass, "Split String Error");
            return Outcome::failed;
        }
        const std::string firstDocument = removeNewlines(
            executeCommand(oldestObjectIdCommand(migrator_.mongoLogin(), name()),
                           migrator_.host())
                .text);
        if (firstDocument.empty()) {
            LOG_AS(pass, name(), " collection size is zero. continue\n");
            return Outcome::empty;
        }
        if (migrator_.startTime.empty() || migrator_.endTime.empty())
            return wholeCollection(*span, firstDocument);
        return dateRange(*span);
    }

    Outcome wholeCollection(const MigratedSpan& span, const std::string& firstDocument) {
        LOG_AS(pass, "migration table : ", name(), ", range : ALL");
        bool cleared = false;
        if (migrator_.retryMode == 1) {
            if (!migrator_.deleteOriginalTable(name(), "general")) {
                LOG_AS(pass, name(), " previous data could not be cleared, migration skipped");
                return Outcome::failed;
            }
            cleared = true;
        } else if (span.count != 0) {
            if (firstDocument.find(span.firstOid) != std::string::npos) {
                LOG_AS(pass, name(), " collection all migrations were processed successfully \n");
                return Outcome::complete;
            }
            LOG_AS(pass, "[WARN] ", name(), " collection already migrated data. (", span.lastText,
                   " ~ ", span.firstText, ", Count : ", span.countText, ")");
            LOG_AS(pass, "[WARN] The migrated data and mongo db data are different. \n");
            return Outcome::differs;
        }
        const bool moved = migrator_.executeMigrationCommand(name(), "", "");
        // The closing line has no end-of-range text in this mode, hence the two blanks.
        LOG_AS(pass, "migration table : ", name(), ", range :  ~  ALL");
        finish();
        if (!moved) return Outcome::failed;
        return cleared ? Outcome::migratedAfterClearing : Outcome::migrated;
    }

    Outcome dateRange(const MigratedSpan& span) {
        const std::string rangeStartText = migrator_.startTime + " 00:00:00";
        const std::string rangeEndText = migrator_.endTime + " 23:59:59";
        const std::int64_t start = convertToTimestamp(rangeStartText);
        const std::int64_t end = convertToTimestamp(rangeEndText);
        if (span.count != 0) {
            LOG_AS(pass, "[NOTI] ", name(), " table already migrated data. (", span.lastText,
                   " ~ ", span.firstText, ", Count : ", span.countText, ")");
            if (overlapsMigratedSpan(span, start, end)) {
                LOG_AS(pass, name(), " table already migrated data. skip (input date : ",
                       rangeEndText, " ~ ", rangeStartText, ")");
                return Outcome::skippedOverlap;
            }
        }
        LOG_AS(pass, "migration table : ", name(), ", range : ", rangeEndText, " ~ ",
               rangeStartText);
        // The range ends with the last second of the end date, so the upper
        // bound takes in every ObjectId of that second.
        const bool moved = migrator_.executeMigrationCommand(name(), makeLastObjectIdOfTime(end),
                                                             makeObjectIdFromTime(start));
        finish();
        return moved ? Outcome::migrated : Outcome::failed;
    }

    void finish() { finishMigratedCollection(migrator_, pass, settleSeconds, record_); }

    const OlapMigrator& migrator_;
    CollectionRecord record_;
    std::int64_t startedAt_;
};
}  // namespace

void OlapMigrator::generalTableMigration() const {
    forEachCollection(migrationList, [this](const std::string& key, const std::string& name) {
        if (!isSelected(key, name, product, table) || isReportTable(name)) return;
        if (!admitCollectionName(*this, name, pass)) return;
        GeneralCollection(*this, name).migrate();
    });
}

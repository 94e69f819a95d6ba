#include "migrate/collection_visit.h"

#include "app/context.h"
#include "exec/commands.h"
#include "migrate/finish.h"
#include "migrate/guards.h"
#include "util/log.h"
#include "util/parsers.h"

CollectionVisit::CollectionVisit(const OlapMigrator& migrator, const std::string& collection,
                                 std::string_view loggedAs)
    : migrator_(migrator), loggedAs_(loggedAs), startedAt_(migrator.host().now()) {
    record_.name = collection;
}

void CollectionVisit::record(const std::function<Outcome()>& decide) {
    record_.outcome = decide();
    record_.seconds = migrator_.host().now() - startedAt_;
    migrator_.runReport().record(record_);
}

std::optional<CollectionState> CollectionVisit::readState(Outcome& outcome) const {
    diskUsageExceedCheck(migrator_.diskLimit, migrator_.host());
    std::optional<MigratedSpan> span = readMigratedSpan(migrator_, name());
    if (!span) {
        LOG_AS(loggedAs_, "Split String Error");
        outcome = Outcome::failed;
        return std::nullopt;
    }
    std::string oldestDocument = removeNewlines(
        executeCommand(oldestObjectIdCommand(migrator_.mongoLogin(), name()), migrator_.host())
            .text);
    if (oldestDocument.empty()) {
        LOG_AS(loggedAs_, name(), " collection size is zero. continue\n");
        outcome = Outcome::empty;
        return std::nullopt;
    }
    return CollectionState{std::move(*span), std::move(oldestDocument)};
}

bool CollectionVisit::skipsMigratedRange(const MigratedSpan& span, const std::string& startBound,
                                         const std::string& endBound, std::int64_t start,
                                         std::int64_t end) const {
    if (span.count == 0) return false;
    LOG_AS(loggedAs_, "[NOTI] ", name(), " table already migrated data. (", span.lastText, " ~ ",
           span.firstText, ", Count : ", span.countText, ")");
    if (!overlapsMigratedSpan(span, start, end)) return false;
    LOG_AS(loggedAs_, name(), " table already migrated data. skip (input date : ", endBound,
           " ~ ", startBound, ")");
    return true;
}

Outcome CollectionVisit::warnDiffers(const MigratedSpan& span) const {
    LOG_AS(loggedAs_, "[WARN] ", name(), " collection already migrated data. (", span.lastText,
           " ~ ", span.firstText, ", Count : ", span.countText, ")");
    LOG_AS(loggedAs_, "[WARN] The migrated data and mongo db data are different. \n");
    return Outcome::differs;
}

void CollectionVisit::finish(unsigned settleSeconds) {
    finishMigratedCollection(migrator_, loggedAs_, settleSeconds, record_);
}

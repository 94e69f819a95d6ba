#include "migrate/decide.h"

#include <algorithm>

#include "util/dates.h"

namespace {
constexpr const char* dateTimePattern = "%Y-%m-%d %H:%M:%S";

std::string migratedSpanText(const MigratedSpan& span) {
    return "(" + span.lastText + " ~ " + span.firstText + ", Count : " + span.countText + ")";
}

// The second an ObjectId was made in.
std::int64_t secondOf(const std::string& oid) { return std::stoll(oid.substr(0, 8), nullptr, 16); }

// The migrated rows reach back to the oldest document (or beyond it, where
// MongoDB has let older documents go since), or they do not: then an earlier
// run stopped halfway. Reaching back is not enough either: a window that
// failed in the middle leaves a gap, so the whole span is counted.
void judgeMigrated(const CollectionKind& kind, const MigratedSpan& span, const MongoEdges& edges,
                   const RunParameters& parameters, Plan& plan) {
    plan.whenUnequal = Outcome::incomplete;
    if (!span.firstOid.empty() && span.firstOid <= edges.oldestOid) {
        plan.lines.push_back(kind.name + " collection all migrations were processed " +
                             (kind.isReport ? "successfull \n" : "successfully \n"));
        plan.outcome = Outcome::complete;
        plan.verify = verifiedSpan(kind, edges.oldestOid, edges.newestOid, parameters);
        return;
    }
    plan.lines.push_back("[WARN] " + kind.name + " collection already migrated data. " +
                         migratedSpanText(span));
    plan.lines.push_back("[WARN] The migrated data and mongo db data are different. \n");
    plan.outcome = Outcome::incomplete;
}

// The seconds from `oldest` to `newest`, both whole, by the kind's mover.
void moveSpan(const CollectionKind& kind, std::int64_t newest, std::int64_t oldest, Plan& plan) {
    plan.newest = newest;
    plan.oldest = oldest;
    plan.upperOid = makeLastObjectIdOfTime(newest);
    plan.lowerOid = makeObjectIdFromTime(oldest);
    plan.move = kind.mover;
}

Plan decideDateRange(const CollectionKind& kind, const MigratedSpan& span,
                     const RunParameters& parameters) {
    const std::string startBound = parameters.startTime + " 00:00:00";
    const std::string endBound = parameters.endTime + " 23:59:59";
    const std::int64_t start = convertToTimestamp(startBound);
    const std::int64_t end = convertToTimestamp(endBound);
    Plan plan;
    plan.verify = verifiedSpan(kind, "", "", parameters);
    if (span.count != 0) {
        plan.lines.push_back("[NOTI] " + kind.name + " table already migrated data. " +
                             migratedSpanText(span));
        if (overlapsMigratedSpan(span, start, end)) {
            plan.lines.push_back(kind.name + " table already migrated data. skip (input date : " +
                                 endBound + " ~ " + startBound + ")");
            plan.outcome = Outcome::skippedOverlap;
            // Passing over the requested days is only right when they are all there.
            plan.whenUnequal = Outcome::incomplete;
            return plan;
        }
    }
    plan.lines.push_back("migration table : " + kind.name + ", range : " + endBound + " ~ " +
                         startBound);
    plan.outcome = Outcome::migrated;
    moveSpan(kind, end, start, plan);
    return plan;
}

// A collection dated by its ObjectIds moves whole, in one pipeline; a retry
// first clears the seconds from its oldest to its newest document.
Plan decideWholeByObjectId(const CollectionKind& kind, const MigratedSpan& span,
                           const MongoEdges& edges, const RunParameters& parameters) {
    Plan plan;
    plan.lines.push_back("migration table : " + kind.name + ", range : ALL");
    if (!parameters.retryMode && span.count != 0) {
        judgeMigrated(kind, span, edges, parameters, plan);
        return plan;
    }
    plan.move = Move::pipeline;
    plan.verify = verifiedSpan(kind, edges.oldestOid, edges.newestOid, parameters);
    // The closing line has no end-of-range text in this mode, hence the two blanks.
    plan.closingLine = "migration table : " + kind.name + ", range :  ~  ALL";
    plan.outcome = Outcome::migrated;
    if (parameters.retryMode && !edges.newestOid.empty()) {
        // Both tables by the second, the only grain the target's time has.
        const std::int64_t oldest = secondOf(edges.oldestOid), newest = secondOf(edges.newestOid);
        plan.clearing = Clearing{formatTime(oldest, dateTimePattern), formatTime(newest, dateTimePattern),
                                 {.lower = makeObjectIdFromTime(oldest),
                                  .upper = makeLastObjectIdOfTime(newest)}};
    }
    return plan;
}

// The ObjectId list takes what lies above the age floor; a retry clears and
// takes again what lies above the cut where that floor separates the same
// documents by `_id` and by date.
void moveObjectIdList(const CollectionKind& kind, const MongoEdges& edges,
                      const RunParameters& parameters, Plan& plan) {
    plan.move = Move::objectIdList;
    plan.listedLine = "migration table : " + kind.name + ", range : " +
                      formatTime(parameters.startedAt, dateTimePattern) + " ~ " +
                      formatTime(parameters.exportFloorTime(), dateTimePattern);
    if (!parameters.retryMode || !edges.floorCut || !edges.newestTime) return;
    plan.lowerOid = edges.floorCut->oid;
    plan.upperOid = edges.newestOid;
    plan.clearing = Clearing{edges.floorCut->time, *edges.newestTime,
                             {.lower = edges.floorCut->oid, .upper = edges.newestOid}};
}

// A collection dated by a field moves over the days its documents span.
Plan decideWholeByField(const CollectionKind& kind, const MigratedSpan& span,
                        const MongoEdges& edges, const RunParameters& parameters) {
    Plan plan;
    if (!edges.oldestTime || !edges.newestTime) {
        plan.lines.push_back(kind.name + " collection is no data to migrate. ");
        plan.outcome = Outcome::empty;
        return plan;
    }
    const std::string startBound = edges.oldestTime->substr(0, 10) + " 00:00:00";
    const std::string endBound = edges.newestTime->substr(0, 10) + " 23:59:59";
    const std::string rangeLine =
        kind.name + " collection mongodb data range : " + endBound + " ~ " + startBound;
    if (!parameters.retryMode) {
        plan.lines.push_back(rangeLine);
        if (span.count != 0 && kind.mover == Move::objectIdList) {
            plan.lines.push_back(kind.name + " collection all migrations were processed successfull \n");
            plan.outcome = Outcome::complete;
            plan.verify = verifiedSpan(kind, edges.oldestOid, edges.newestOid, parameters);
            plan.whenUnequal = Outcome::incomplete;
            return plan;
        }
        if (span.count != 0) {
            judgeMigrated(kind, span, edges, parameters, plan);
            return plan;
        }
    } else {
        plan.linesAfterClearing.push_back(rangeLine);
    }
    plan.outcome = Outcome::migrated;
    plan.verify = verifiedSpan(kind, edges.oldestOid, edges.newestOid, parameters);
    if (kind.mover == Move::objectIdList) {
        moveObjectIdList(kind, edges, parameters, plan);
        return plan;
    }
    moveSpan(kind, convertToTimestamp(endBound), convertToTimestamp(startBound), plan);
    plan.upperOid = std::max(plan.upperOid, edges.newestOid);
    plan.lowerOid = std::min(plan.lowerOid, edges.oldestOid);
    if (parameters.retryMode)
        plan.clearing = Clearing{*edges.oldestTime, *edges.newestTime,
                                 {.lower = edges.oldestOid, .upper = edges.newestOid}};
    plan.closingLine = "migration table : " + kind.name + ", range : " + endBound + " ~  ALL";
    return plan;
}
}  // namespace

Plan decide(const CollectionKind& kind, const MigratedSpan& span, const MongoEdges& edges,
            const RunParameters& parameters) {
    if (edges.oldestOid.empty()) {
        Plan plan;
        plan.lines.push_back(kind.name + " collection size is zero. continue\n");
        plan.outcome = Outcome::empty;
        return plan;
    }
    // With nothing in ClickHouse there is nothing to compare: the
    // collection moves as "start" would move it.
    if (parameters.repairMode && span.count != 0) {
        Plan plan;
        plan.lines.push_back("repair table : " + kind.name);
        plan.move = Move::repair;
        plan.verify = verifiedSpan(kind, edges.oldestOid, edges.newestOid, parameters);
        plan.outcome = Outcome::repaired;
        return plan;
    }
    if (parameters.hasDateRange()) return decideDateRange(kind, span, parameters);
    Plan plan = kind.timeField == EdgeField::objectId
                    ? decideWholeByObjectId(kind, span, edges, parameters)
                    : decideWholeByField(kind, span, edges, parameters);
    if (parameters.retryMode && plan.move != Move::nothing) plan.outcome = Outcome::migratedAfterClearing;
    return plan;
}

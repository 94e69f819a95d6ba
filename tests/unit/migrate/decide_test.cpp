#include <gtest/gtest.h>

#include "migrate/decide.h"
#include "util/dates.h"

namespace {
constexpr const char* firstMigratedOid = "65e11a800000000000000000";

// What ClickHouse holds: nothing, or March 2024 reaching back to firstMigratedOid.
MigratedSpan migrated(bool any) {
    MigratedSpan span;
    if (!any) return span;
    span.count = 3000;
    span.countText = "3000";
    span.first = convertToTimestamp("2024-03-01 00:00:00");
    span.last = convertToTimestamp("2024-03-31 23:59:59");
    span.firstOid = firstMigratedOid;
    return span;
}

enum class Oldest { none, migrated, older };

MongoEdges edgesOf(Oldest oldest) {
    MongoEdges edges;
    if (oldest == Oldest::none) return edges;
    edges.oldestOid = oldest == Oldest::migrated ? firstMigratedOid : "65d000000000000000000000";
    // Written a day after its create_time: beyond the days the windows are laid out from.
    edges.newestOid = "65e43a00000000000000000a";
    edges.oldestTime = "2024-03-01 10:00:00";
    edges.newestTime = "2024-03-02 08:00:00";
    return edges;
}
}  // namespace

TEST(Decide, OnePlanPerStateAndParameters) {
    const struct {
        const char* what;
        const char* collection;
        bool anyMigrated;
        Oldest oldest;
        bool retry;
        const char* start;
        const char* end;
        Outcome outcome;
        Move move;
        bool repair = false;
    } cases[] = {
        {"empty collection", "tb_audit_log", false, Oldest::none, true, "", "", Outcome::empty, Move::nothing},
        {"first run", "tb_audit_log", false, Oldest::older, false, "", "", Outcome::migrated, Move::pipeline},
        {"complete", "tb_audit_log", true, Oldest::migrated, false, "", "", Outcome::complete, Move::nothing},
        {"stopped halfway", "tb_audit_log", true, Oldest::older, false, "", "", Outcome::incomplete, Move::nothing},
        {"retry", "tb_audit_log", true, Oldest::migrated, true, "", "", Outcome::migratedAfterClearing, Move::pipeline},
        {"range overlaps", "tb_audit_log", true, Oldest::older, true, "2024-02-01", "2024-03-01", Outcome::skippedOverlap, Move::nothing},
        {"range holds the migrated span", "tb_report_data", true, Oldest::older, false, "2024-02-01", "2024-04-30", Outcome::skippedOverlap, Move::nothing},
        {"range before", "tb_audit_log", true, Oldest::older, true, "2024-02-01", "2024-02-29", Outcome::migrated, Move::pipeline},
        {"report first run", "tb_report_data", false, Oldest::older, false, "", "", Outcome::migrated, Move::windows},
        {"report complete", "tb_report_data", true, Oldest::migrated, false, "", "", Outcome::complete, Move::nothing},
        {"report retry", "tb_report_status", true, Oldest::older, true, "", "", Outcome::migratedAfterClearing, Move::windows},
        {"report range", "tb_report_data", false, Oldest::older, false, "2024-01-01", "2024-01-31", Outcome::migrated, Move::windows},
        {"base report", "tb_base_report_data", false, Oldest::older, false, "", "", Outcome::migrated, Move::objectIdList},
        {"base report range", "tb_base_report_data", true, Oldest::older, false, "2024-04-01", "2024-04-02", Outcome::migrated, Move::objectIdList},
        {"base report above its floor", "tb_base_report_data", true, Oldest::older, false, "", "", Outcome::complete, Move::nothing},
        {"repair", "tb_report_data", true, Oldest::older, false, "", "", Outcome::repaired, Move::repair, true},
        {"repair with nothing migrated", "tb_audit_log", false, Oldest::older, false, "", "", Outcome::migrated, Move::pipeline, true},
    };
    for (const auto& c : cases) {
        RunParameters parameters;
        parameters.retryMode = c.retry;
        parameters.repairMode = c.repair;
        parameters.startTime = c.start;
        parameters.endTime = c.end;
        const Plan plan =
            decide(kindOf(c.collection), migrated(c.anyMigrated), edgesOf(c.oldest), parameters);
        EXPECT_EQ(plan.outcome, c.outcome) << c.what;
        EXPECT_EQ(plan.move, c.move) << c.what;
        EXPECT_EQ(plan.clearing.has_value(), c.outcome == Outcome::migratedAfterClearing) << c.what;
        // Whatever may end well is counted on both sides first.
        EXPECT_EQ(plan.verify.has_value(), c.outcome != Outcome::empty && c.outcome != Outcome::incomplete) << c.what;
        // A difference after a move failed it; one where nothing moved is a gap for repair, never a pass.
        if (plan.verify) { EXPECT_EQ(plan.whenUnequal, c.move == Move::nothing ? Outcome::incomplete : Outcome::failed) << c.what; }
    }
}


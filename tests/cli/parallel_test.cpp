// Several pipelines at once (-j): each document still once and verified,
// the pipelines seen side by side; a stop of four is a story of the stopped
// runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "rig.h"

namespace qortest {
namespace {

TEST(Parallel, FourPipelinesMoveEachKindOnceSideBySide) {
    Sandbox box;
    const std::vector<std::string> kinds = {"tb_audit_log", "tb_report_data", "tb_base_report_data"};
    for (const std::string& name : kinds) box.collection(name, spread(daysAgo(6), daysAgo(1), 4000));
    const Result run = box.run({"start", "-f", box.write("lists/list.txt", "[x]\ntb_audit_log\ntb_report_data\ntb_base_report_data\n"),
                                "-j", "4", "-n", "300"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (const std::string& name : kinds) {
        EXPECT_EQ(Engines::get().clickhouse("select count(), uniqExact(oid) from " + name), "4000\t4000") << name;
        const std::vector<Call> pipelines = box.loads(name);
        EXPECT_GE(pipelines.size(), 4u) << name;
        EXPECT_GE(mostAtOnce(pipelines), 2u) << name;
        EXPECT_LE(mostAtOnce(pipelines), 4u) << name;
        for (const Call& call : pipelines) EXPECT_EQ(call.argv.back(), "--quiet") << name;
    }
    EXPECT_EQ(run.summaryLine(-1), "Summary total : 3 collections, 3 migrated");
}

// The days asked for beside days moved before: every range stays within them.
TEST(Parallel, CrowdedDaysAreCutIntoRangesOfAboutEqualCounts) {
    Sandbox box;
    std::vector<std::int64_t> seconds = spread(daysAgo(30), daysAgo(1), 1000), crowded = spread(daysAgo(9), daysAgo(9) + 600, 7000);
    seconds.insert(seconds.end(), crowded.begin(), crowded.end());
    box.collection("tb_audit_log", seconds);
    ASSERT_EQ(box.run({"start", "-t", "tb_audit_log", "-s", isoDay(daysAgo(30)), "-e", isoDay(daysAgo(13))}).status, 0);
    const std::size_t before = box.loads("tb_audit_log").size();
    const Result run = box.run({"start", "-t", "tb_audit_log", "-j", "4", "-s", isoDay(daysAgo(12)), "-e", isoDay(daysAgo(5))});
    ASSERT_EQ(run.status, 0) << run.out;
    const auto within = [&](std::int64_t from, std::int64_t to) {
        return std::count_if(seconds.begin(), seconds.end(), [&](auto t) { return t >= from && t < to; });
    };
    const std::int64_t days = within(daysAgo(12), daysAgo(4)), all = within(daysAgo(30), daysAgo(4));
    std::int64_t total = 0;
    std::vector<Call> ranges = box.loads("tb_audit_log");
    ranges.erase(ranges.begin(), ranges.begin() + before);
    ASSERT_EQ(ranges.size(), 4u);
    for (const Call& range : ranges) {
        std::smatch bounds;
        ASSERT_TRUE(std::regex_search(range.argv.back() == "--quiet" ? range.argv.end()[-2] : range.argv.back(), bounds,
                                      std::regex("lte.*\"([0-9a-f]{24})\".*gte.*\"([0-9a-f]{24})\"")));
        const std::int64_t documents = std::stoll(Engines::get().clickhouse(
            "select count() from mig_tb_audit_log_completed where oid between '" + bounds[2].str() + "' and '" + bounds[1].str() + "'"));
        EXPECT_LE(documents, days / 4 * 3 / 2) << bounds[0];
        total += documents;
    }
    EXPECT_EQ(total, days);
    EXPECT_EQ(Engines::get().clickhouse("select count(), uniqExact(oid) from tb_audit_log"), std::to_string(all) + "\t" + std::to_string(all));
}

}  // namespace
}  // namespace qortest

// Whole migrations through the built tool, judged by what ClickHouse and
// PostgreSQL hold afterwards against the MongoDB fixture.

#include <gtest/gtest.h>

#include "rig.h"

namespace qortest {
namespace {

const std::vector<std::string> kinds = {"tb_audit_log", "tb_j4_alert_log", "tb_report_data", "tb_base_report_data"};

std::string listFile(const Sandbox& box, const std::vector<std::string>& names) {
    std::string text = "[mixed]\n";
    for (const std::string& name : names) text += name + "\n";
    return box.write("lists/list.txt", text);
}

// Target and completed table hold each of the `documents` once.
void expectMigrated(const std::string& name, int documents) {
    const std::string olap = name == "tb_j4_alert_log" ? "tb_zq_alert_log" : name, n = std::to_string(documents);
    EXPECT_EQ(Engines::get().clickhouse("select count(), uniqExact(oid) from " + olap), n + "\t" + n) << name;
    EXPECT_EQ(Engines::get().count("mig_" + olap + "_completed"), documents) << name;
}

std::string snowflake() { return Engines::get().postgres("SELECT string_agg(last_snowflake_id, ',') FROM tb_olap_table"); }

TEST(Start, MovesEachKindOnceAndASecondRunFindsThemComplete) {
    Sandbox box;
    for (const std::string& name : kinds) box.collection(name, spread(daysAgo(3), daysAgo(1) + 7200, 120));
    const std::string list = listFile(box, kinds);
    const Result first = box.run({"start", "-f", list});
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    std::vector<std::string> summary;
    for (const std::string& name : kinds) summary.push_back("Summary : " + name + " : migrated, staging 120, completed 120");
    summary.push_back("Summary total : 4 collections, 4 migrated");
    EXPECT_EQ(first.summary(), summary);
    for (const std::string& name : kinds) expectMigrated(name, 120);
    EXPECT_EQ(Engines::get().count("mig_tb_audit_log"), 0) << "staging is emptied after the counts";
    const std::string id = snowflake();
    EXPECT_NE(id, "0");
    for (const std::string& name : {"tb_report_data", "tb_base_report_data"})
        EXPECT_EQ(Engines::get().clickhouse("select countIf(document like '%\"merge_seq\":\"%') from " + name), "0");

    const std::size_t exports = box.calls("mongoexport").size();
    const Result second = box.run({"start", "-f", list});
    ASSERT_EQ(second.status, 0) << second.out << second.err;
    EXPECT_EQ(second.summary().back(), "Summary total : 4 collections, 4 complete");
    EXPECT_EQ(box.calls("mongoexport").size(), exports);
    for (const std::string& name : kinds) expectMigrated(name, 120);
    EXPECT_EQ(snowflake(), id);
}

TEST(Retry, ClearsWhatAnEarlierRunBroughtAndMigratesAgainWithoutDuplicates) {
    for (const std::string name : {"tb_audit_log", "tb_report_data"}) {
        Sandbox box;
        box.collection(name, spread(daysAgo(4), daysAgo(1) + 43200, 90));
        ASSERT_EQ(box.run({"start", "-t", name}).status, 0);
        const Result retry = box.run({"retry", "-t", name});
        ASSERT_EQ(retry.status, 0) << retry.out << retry.err;
        EXPECT_EQ(retry.summary().front(), "Summary : " + name + " : migrated after clearing, staging 90, completed 90");
        expectMigrated(name, 90);
    }
}

TEST(DateRange, TakesEveryDocumentUpToTheLastSecondOfTheEndDay) {
    const std::int64_t from = daysAgo(6), to = daysAgo(4) + 86399;
    for (const std::string name : {"tb_audit_log", "tb_report_data"}) {
        Sandbox box;
        box.collection(name, {from - 1, from, from + 3600, to - 3600, to, to + 1, daysAgo(1)});
        const Result run = box.run({"start", "-t", name, "-s", isoDay(from), "-e", isoDay(to)});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(Engines::get().clickhouse("select count(), min(server_time), max(server_time) from " + name),
                  "4\t" + std::to_string(from * 1000) + "\t" + std::to_string(to * 1000));
    }
}

TEST(DryRun, WritesNothingAndShowsEachWriteWithItsPasswordsMasked) {
    Sandbox box;
    box.collection("tb_audit_log", spread(daysAgo(3), daysAgo(1), 40));
    box.collection("tb_report_data", spread(daysAgo(3), daysAgo(1), 40));
    const Result start = box.run({"start", "-f", listFile(box, {"tb_audit_log", "tb_report_data"}), "--dry-run"});
    EXPECT_EQ(start.status, 0) << start.out << start.err;
    EXPECT_EQ(Engines::get().count("tb_audit_log") + Engines::get().count("tb_report_data"), 0);
    EXPECT_EQ(snowflake(), "0");

    ASSERT_EQ(box.run({"start", "-t", "tb_audit_log"}).status, 0);
    const Result retry = box.run({"retry", "-t", "tb_audit_log", "--dry-run"});
    EXPECT_EQ(retry.status, 0) << retry.out << retry.err;
    expectMigrated("tb_audit_log", 40);
    for (const Result* run : {&start, &retry}) {
        EXPECT_FALSE(run->messages("[DRY-RUN] ").empty()) << run->out;
        EXPECT_NE(run->out.find("***"), std::string::npos);
        for (const char* password : {"mongopass", "chpass", "qorpass"})
            EXPECT_EQ((run->out + run->err).find(password), std::string::npos) << password;
    }
}

}  // namespace
}  // namespace qortest

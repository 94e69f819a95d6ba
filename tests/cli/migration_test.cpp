// Whole migrations through the built tool, judged by what ClickHouse and
// PostgreSQL hold afterwards against the MongoDB fixture; and faults in the
// middle of a run, each ending it with the status and the closing lines that
// operators script against and read.

#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

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

// The exporter's private configuration files in the work folder.
std::size_t exportConfigs(const Sandbox& box) {
    std::size_t files = 0;
    if (std::filesystem::is_directory(box.path("/tmp")))
        for (const auto& file : std::filesystem::directory_iterator(box.path("/tmp")))
            files += file.path().extension() == ".yaml";
    return files;
}

std::string snowflake() { return Engines::get().postgres("SELECT string_agg(last_snowflake_id, ',') FROM tb_olap_table"); }

TEST(Start, MovesEachKindOnceAndASecondRunFindsThemComplete) {
    Sandbox box;
    for (const std::string& name : kinds) box.collection(name, spread(daysAgo(3), daysAgo(1) + 7200, 120));
    const std::string list = listFile(box, kinds);
    const Result first = box.run({"start", "-f", list});
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    std::vector<std::string> summary;
    for (const std::string& name : kinds)
        summary.push_back("Summary : " + name + " : migrated, verified 120, staging 120, completed 120");
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
    EXPECT_EQ(second.summaryLine(0), "Summary : tb_audit_log : complete, verified 120");
    EXPECT_EQ(second.summaryLine(-1), "Summary total : 4 collections, 4 complete");
    EXPECT_EQ(box.calls("mongoexport").size(), exports);
    for (const std::string& name : kinds) expectMigrated(name, 120);
    EXPECT_EQ(snowflake(), id);
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

const std::string audit = "Summary : tb_audit_log : ", report = "Summary : tb_report_data : ",
                  base = "Summary : tb_base_report_data : ", all = "migrated, verified 80, staging 80, completed 80";

struct Fault {
    std::string name;
    std::map<std::string, std::string> env;  // "block tmp": a file where the work folder was; "psql fails"
    std::vector<std::string> args;           // -f LIST goes after the first
    int status;
    std::vector<std::string> summary;
    std::string why;           // a line the run must write once
    int completedLeft = 80;    // rows of tb_audit_log's completed table afterwards
    bool handedOff = true;     // the Snowflake ID reached PostgreSQL
};

TEST(Faults, EachEndsTheRunWithItsStatusAndOutcome) {
    const std::string failed = "Summary total : 3 collections, 2 migrated, 1 failed",
                      allFailed = "Summary total : 3 collections, 3 failed", oneFailed = "Summary total : 1 collection, 1 failed",
                      unreadable = "tb_audit_log collection could not be read from MongoDB (mongosh exit 1)";
    const std::vector<Fault> faults = {
        {"summary read", {{"QOR_CH_FAIL", "min(oid) from mig_tb_audit_log_completed"}}, {"start"}, 1,
         {audit + "failed", report + all, base + all, failed}, "", 0},
        {"load", {{"QOR_CH_FAIL", "INSERT INTO mig_tb_audit_log "}}, {"start"}, 1,
         {audit + "failed, staging 0, completed 0", report + all, base + all, failed}, "", 0},
        {"staging truncate after the counts", {{"QOR_CH_FAIL", "truncate table mig_tb_audit_log"}}, {"start"}, 0,
         {audit + all, report + all, base + all, "Summary total : 3 collections, 3 migrated"},
         "mig_tb_audit_log could not be emptied (clickhouse-client exit 210)"},
        {"snowflake read", {{"QOR_CH_FAIL", "dateTime64ToSnowflakeID"}}, {"start"}, 1,
         {audit + all, report + all, base + all, "Summary : Snowflake ID hand-off : failed",
          "Summary total : 3 collections, 3 migrated"}, "", 80, false},
        {"snowflake write", {{"psql fails", ""}}, {"start"}, 1,
         {audit + all, report + all, base + all, "Summary : Snowflake ID hand-off : failed",
          "Summary total : 3 collections, 3 migrated"}, "Failed to update TB_OLAP_TABLE in PostgreSQL", 80, false},
        {"summary read not a number", {{"QOR_CH_FAIL", "min(oid) from mig_tb_audit_log_completed"},
         {"QOR_CH_FAIL_REPLY", "Code: 60\t0\t0\t\n"}}, {"start"}, 1, {"Summary total : 0 collections"}, "Error: ", 0},
        {"report window load", {{"QOR_CH_FAIL", "INSERT INTO mig_tb_report_data "}, {"QOR_CH_FAIL_CALL", "2"}},
         {"start"}, 1, {audit + all, report + "failed, staging 41, completed 41", base + all, failed}},
        {"retry's truncate", {{"QOR_CH_FAIL", "truncate table mig_tb_audit_log_completed"}},
         {"retry", "-t", "tb_audit_log"}, 1, {audit + "failed", oneFailed}},
        {"retry's delete", {{"QOR_CH_FAIL", "DELETE FROM tb_audit_log"}}, {"retry", "-t", "tb_audit_log"}, 1,
         {audit + "failed", oneFailed}, "", 0},
        {"wrong MongoDB password", {{"QOR_MONGO_PASSWORD", "other"}}, {"start"}, 1,
         {audit + "failed", report + "failed", base + "failed", allFailed}, unreadable, 0},
        {"wrong MongoDB password, retry", {{"QOR_MONGO_PASSWORD", "other"}}, {"retry", "-t", "tb_audit_log"}, 1,
         {audit + "failed", oneFailed}, "tb_audit_log previous data could not be cleared, migration skipped"},
        {"wrong MongoDB password, report retry", {{"QOR_MONGO_PASSWORD", "other"}}, {"retry", "-t", "tb_report_data"}, 1,
         {report + "failed", oneFailed}, "tb_report_data collection could not be read from MongoDB (mongosh exit 1)"},
        {"exporter dies halfway", {{"QOR_MONGOEXPORT_FAIL_AFTER", "30"}}, {"start"}, 1,
         {audit + "failed, staging 30, completed 30", report + "failed, staging 61, completed 61", base + "failed",
          allFailed}, "", 30},
        {"disk limit", {}, {"start", "-dl", "1"}, 1,
         {audit + "run stopped", "Summary total : 1 collection, 1 run stopped"},
         "Disk usage exceeds threshold, stopping migration", 0},
        {"work folder unwritable", {{"block tmp", ""}}, {"start"}, 1,
         {audit + "failed, staging 0, completed 0", report + "failed, staging 0, completed 0", base + "failed", allFailed},
         "Cannot write the work file " , 0},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        Sandbox box;
        for (const char* name : {"tb_audit_log", "tb_report_data", "tb_base_report_data"})
            box.collection(name, spread(daysAgo(3), daysAgo(1), 80));
        const std::string list =
            box.write("lists/list.txt", "[qor]\ntb_audit_log\n[report]\ntb_report_data\ntb_base_report_data\n");
        if (fault.args[0] == "retry") ASSERT_EQ(box.run({"start", "-f", list}).status, 0);
        for (const auto& [name, value] : fault.env) box.env(name, value);
        if (fault.env.count("block tmp")) {  // root writes through any mode bits, not into a file
            std::filesystem::remove_all(box.path("/tmp"));
            box.write("tmp", "");
        }
        if (fault.env.count("psql fails")) {
            std::filesystem::remove(box.path("/bin/psql"));
            std::filesystem::create_symlink("/bin/false", box.path("/bin/psql"));
        }
        std::vector<std::string> args = fault.args;
        args.insert(args.begin() + 1, {"-f", list});
        const Result run = box.run(args);
        EXPECT_EQ(run.status, fault.status) << run.out << run.err;
        EXPECT_EQ(run.summary(), fault.summary) << run.out;
        if (!fault.why.empty()) EXPECT_FALSE(run.messages(fault.why).empty()) << run.out;
        EXPECT_EQ(Engines::get().count("mig_tb_audit_log_completed"), fault.completedLeft);
        if (fault.args[0] == "retry" && fault.completedLeft == 80) expectMigrated(fault.args[2], 80);
        EXPECT_EQ(snowflake() != "0", fault.handedOff);
        EXPECT_EQ(exportConfigs(box), 0u);
    }
}

TEST(Faults, AGapLeftByAFailedWindowIsFoundByTheNextStartAndFilledByRetry) {
    Sandbox box;
    box.collection("tb_report_data", spread(daysAgo(3), daysAgo(1), 80));
    box.env("QOR_CH_FAIL", "INSERT INTO mig_tb_report_data ");
    box.env("QOR_CH_FAIL_CALL", "2");
    ASSERT_EQ(box.run({"start", "-t", "tb_report_data"}).status, 1);
    box.env("QOR_CH_FAIL", "");
    const Result again = box.run({"start", "-t", "tb_report_data"});
    EXPECT_EQ(again.status, 1) << again.out;
    EXPECT_EQ(again.summaryLine(0), report + "incomplete, run retry -t tb_report_data");
    EXPECT_FALSE(again.messages("tb_report_data verification failed : MongoDB ").empty()) << again.out;
    const Result retry = box.run({"retry", "-t", "tb_report_data"});
    EXPECT_EQ(retry.status, 0) << retry.out;
    EXPECT_EQ(retry.summaryLine(0), report + "migrated after clearing, verified 80, staging 80, completed 80");
    expectMigrated("tb_report_data", 80);
}

TEST(Retry, BaseReportDataKeepsTheRowsOlderThanItsAgeFloor) {
    Sandbox box;
    const std::int64_t old = daysAgo(800);
    box.collection("tb_base_report_data", {old, old + 60, daysAgo(2), daysAgo(1)});
    ASSERT_EQ(box.run({"start", "-t", "tb_base_report_data", "-s", isoDay(old), "-e", isoDay(old)}).status, 0);
    const Result retry = box.run({"retry", "-t", "tb_base_report_data"});
    EXPECT_EQ(retry.status, 0) << retry.out;
    expectMigrated("tb_base_report_data", 4);
    const Result again = box.run({"start", "-t", "tb_base_report_data"});
    EXPECT_EQ(again.summaryLine(0), "Summary : tb_base_report_data : complete, verified 2") << again.out;
}

TEST(KilledRun, LeavesItsLockAndPartOfTheRowsAndTheNextRunsRecover) {
    Sandbox box;
    box.collection("tb_audit_log", spread(daysAgo(30), daysAgo(1), 14000));
    // The exporter stops after enough documents for the loader to commit a first block.
    box.env("QOR_MONGOEXPORT_HANG_AFTER", "10000");
    const pid_t run = box.start({"start", "-t", "tb_audit_log"});
    while (Engines::get().count("mig_tb_audit_log_completed") == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(-run, SIGKILL);
    EXPECT_EQ(box.finish(run).status, 128 + SIGKILL);
    const std::int64_t arrived = Engines::get().count("mig_tb_audit_log_completed");
    EXPECT_LT(arrived, 14000);
    EXPECT_TRUE(std::filesystem::exists(box.path("/var/run/qor/qorolapmigrate.pid")));
    EXPECT_EQ(exportConfigs(box), 1u) << "the killed export's password file";

    box.env("QOR_MONGOEXPORT_HANG_AFTER", "-1");
    const Result again = box.run({"start", "-t", "tb_audit_log"});
    EXPECT_EQ(again.status, 1) << again.out << again.err;
    EXPECT_EQ(again.summary(), (std::vector<std::string>{"Summary : tb_audit_log : incomplete, run retry -t tb_audit_log",
                                                         "Summary total : 1 collection, 1 incomplete"}));
    EXPECT_EQ(Engines::get().count("mig_tb_audit_log_completed"), arrived);
    EXPECT_EQ(exportConfigs(box), 0u);
    const Result retry = box.run({"retry", "-t", "tb_audit_log"});
    // The killed run's staging rows are still there: retry clears the completed and target tables only.
    EXPECT_EQ(retry.summaryLine(0), "Summary : tb_audit_log : migrated after clearing, verified 14000, staging " +
                                           std::to_string(14000 + arrived) + ", completed 14000");
    EXPECT_EQ(Engines::get().clickhouse("select count(), uniqExact(oid) from tb_audit_log"), "14000\t14000");
    EXPECT_FALSE(std::filesystem::exists(box.path("/var/run/qor/qorolapmigrate.pid")));
}

}  // namespace
}  // namespace qortest

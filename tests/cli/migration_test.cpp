// Whole migrations through the built tool, judged by what ClickHouse and
// PostgreSQL hold afterwards against the MongoDB fixture; and faults in the
// middle of a run, each ending it with the status and the closing lines that
// operators script against and read.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
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

// The tool's work files: the exporter's private configuration, a repair's lists.
std::size_t workFiles(const Sandbox& box) {
    std::size_t files = 0;
    if (std::filesystem::is_directory(box.path("/tmp")))
        for (const auto& file : std::filesystem::directory_iterator(box.path("/tmp")))
            files += file.path().filename().string().starts_with("qorolapmigrate-");
    return files;
}

std::string snowflake() { return Engines::get().postgres("SELECT string_agg(last_snowflake_id, ',') FROM tb_olap_table"); }

TEST(Start, MovesEachKindOnceAndASecondRunFindsThemComplete) {
    Sandbox box;
    for (const std::string& name : kinds) box.collection(name, spread(daysAgo(3), daysAgo(1) + 7200, 120));
    const std::string list = listFile(box, kinds);
    const Result first = box.run({"start", "-f", list, "-n", "10"});
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    EXPECT_EQ(box.loads("tb_base_report_data").size(), 12u) << "batches of ten ids";
    EXPECT_EQ(first.out.find("Cannot write"), std::string::npos) << first.out;
    std::vector<std::string> summary;
    for (const std::string& name : kinds)
        summary.push_back("Summary : " + name + " : migrated, verified 120, staging 120, completed 120");
    summary.push_back("Summary total : 4 collections, 4 migrated");
    EXPECT_EQ(first.summary(), summary);
    for (const std::string& name : kinds) expectMigrated(name, 120);
    // Operators grep the export-and-load lines by the function that has always written them.
    std::istringstream lines(first.out);
    int moves = 0;
    for (std::string line; std::getline(lines, line); moves += line.find(" table migration end") != std::string::npos)
        EXPECT_TRUE(line.find(" table migration ") == std::string::npos || line.find("[LOG][executeMigrationCommand:") != std::string::npos) << line;
    EXPECT_GT(moves, 3);
    EXPECT_EQ(Engines::get().count("mig_tb_audit_log"), 0) << "staging is emptied after the counts";
    const std::string id = snowflake();
    EXPECT_NE(id, "0");
    for (const char* name : {"tb_report_data", "tb_base_report_data"})
        EXPECT_EQ(Engines::get().clickhouse(std::string("select countIf(document like '%\"merge_seq\":\"%') from ") + name), "0");

    const std::size_t exports = box.calls("mongoexport").size();
    // Runs starting together take turns at the PID file's folder: this one waits while another holds it.
    const int folder = open(box.path("/var/run/qor").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(flock(folder, LOCK_SH), 0);
    const pid_t next = box.start({"start", "-f", list});
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_FALSE(std::filesystem::exists(box.path("/var/run/qor/qorolapmigrate.pid"))) << "it did not wait for its turn";
    close(folder);
    const Result second = box.finish(next);
    ASSERT_EQ(second.status, 0) << second.out << second.err;
    EXPECT_EQ(second.summaryLine(0), "Summary : tb_audit_log : complete, verified 120");
    EXPECT_EQ(second.summaryLine(-1), "Summary total : 4 collections, 4 complete");
    EXPECT_EQ(box.calls("mongoexport").size(), exports);
    for (const std::string& name : kinds) expectMigrated(name, 120);
    EXPECT_EQ(snowflake(), id);
}

TEST(Start, AReportDocumentWrittenOutsideTheDayItIsDatedStillMoves) {
    Sandbox box;
    const std::int64_t day = daysAgo(3);
    std::vector<std::int64_t> seconds = spread(day + 3600, day + 80000, 20);
    std::map<std::int64_t, std::int64_t> created = {{day - 10, day + 10}};
    for (const std::int64_t late : {5, 6, 7}) created[day + 86400 + late] = day + 86390 + late;
    for (const auto& [second, at] : created) seconds.push_back(second);
    box.collection("tb_report_data", seconds, created);
    const Result run = box.run({"start", "-t", "tb_report_data"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.summaryLine(0), "Summary : tb_report_data : migrated, verified 24, staging 24, completed 24");
    expectMigrated("tb_report_data", 24);
}

// MongoDB keeps documents for a limited time; ClickHouse keeps what only it still holds.
TEST(Retry, TakesAgainWhatMongoDBHoldsAndKeepsTheRowsItLetGo) {
    for (const std::string name : {"tb_audit_log", "tb_report_data"}) {
        Sandbox box;
        box.collection(name, spread(daysAgo(4), daysAgo(1) + 43200, 50));
        ASSERT_EQ(box.run({"start", "-t", name}).status, 0);
        const std::string file = box.path("/tevfs/nosql/" + name + ".jsonl");
        std::ifstream newestFirst(file);
        std::string kept, line;
        for (int documents = 0; documents < 30 && std::getline(newestFirst, line); ++documents) kept += line + "\n";
        std::ofstream(file) << kept;
        const Result retry = box.run({"retry", "-t", name});
        ASSERT_EQ(retry.status, 0) << retry.out << retry.err;
        EXPECT_EQ(retry.out.find(" could not "), std::string::npos) << retry.out;
        EXPECT_EQ(retry.summaryLine(0),
                  "Summary : " + name + " : migrated after clearing, verified 30, staging 30, completed 50");
        expectMigrated(name, 50);
        box.letGo(name, 15);  // from the middle: inside the span MongoDB still holds
        const Result again = box.run({"start", "-t", name});
        EXPECT_EQ(again.status, 0) << again.out;
        EXPECT_EQ(again.summaryLine(0), "Summary : " + name + " : complete, verified 29");
        EXPECT_EQ(again.messages(name + " keeps 1 rows of documents MongoDB no longer holds").size(), 1u) << again.out;
        expectMigrated(name, 50);
        // Rows loaded twice are a fault only a retry mends.
        for (const std::string& table : {name, "mig_" + name + "_completed"})
            Engines::get().clickhouse("insert into " + table + " select * from " + table + " order by oid desc limit 2");
        const Result doubled = box.run({"start", "-t", name});
        EXPECT_EQ(doubled.summaryLine(0), "Summary : " + name + " : failed, 2 rows twice, run retry -t " + name);
        EXPECT_EQ(doubled.messages(name + " holds 2 rows twice on " + isoDay(daysAgo(1)) + ": run retry -t " + name +
                                   " --delete-history, which also deletes the 1 rows of documents MongoDB no longer holds").size(), 1u) << doubled.out;
        // A retry deletes that history only when told to.
        const Result refused = box.run({"retry", "-t", name});
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.messages(name + " table data would lose 1 rows of documents MongoDB no longer holds, nothing was cleared").size(), 1u) << refused.out;
        EXPECT_EQ(Engines::get().count("mig_" + name + "_completed"), 52);
        EXPECT_EQ(box.run({"retry", "-t", name, "--delete-history"}).status, 0);
        // Within MongoDB's span a retry takes back only what MongoDB still holds.
        EXPECT_EQ(Engines::get().clickhouse("select count(), uniqExact(oid) from " + name), "49\t49");
    }
}

TEST(DateRange, TakesEveryDocumentUpToTheLastSecondOfTheEndDay) {
    const std::int64_t from = daysAgo(6), to = daysAgo(4) + 86399;
    for (const std::string name : {"tb_audit_log", "tb_report_data"}) {
        Sandbox box;
        // The last second of each day, the newest window's and the others'.
        box.collection(name, {from - 1, from, from + 3600, from + 86399, to - 86400, to - 3600, to, to + 1, daysAgo(1)});
        const Result run = box.run({"start", "-t", name, "-s", isoDay(from), "-e", isoDay(to)});
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(Engines::get().clickhouse("select count(), min(server_time), max(server_time) from " + name),
                  "6\t" + std::to_string(from * 1000) + "\t" + std::to_string(to * 1000));
    }
}

TEST(DryRun, WritesNothingAndShowsEachWriteWithItsPasswordsMasked) {
    Sandbox box;
    box.collection("tb_audit_log", spread(daysAgo(3), daysAgo(1), 40));
    box.collection("tb_report_data", spread(daysAgo(3), daysAgo(1), 40));
    const Result start = box.run({"start", "-f", listFile(box, {"tb_audit_log", "tb_report_data"}), "--dry-run"});
    EXPECT_EQ(start.status, 1) << start.out << start.err;
    EXPECT_EQ(start.summaryLine(-1), "Summary total : 2 collections, 2 would migrate");
    EXPECT_EQ(Engines::get().count("tb_audit_log") + Engines::get().count("tb_report_data"), 0);
    EXPECT_EQ(snowflake(), "0");

    ASSERT_EQ(box.run({"start", "-t", "tb_audit_log"}).status, 0);
    const Result retry = box.run({"retry", "-t", "tb_audit_log", "--dry-run"});
    EXPECT_EQ(retry.status, 1) << retry.out << retry.err;
    EXPECT_EQ(retry.summaryLine(0), "Summary : tb_audit_log : would migrate after clearing, verified 40, staging 0, completed 40");
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
    int thenStart = -1;        // the status of a start right after it, each document once where 0
    bool thenAgain = false;    // that run repeats the fault's command instead
};

TEST(Faults, EachEndsTheRunWithItsStatusAndOutcome) {
    const std::string failed = "Summary total : 3 collections, 2 migrated, 1 failed",
                      allFailed = "Summary total : 3 collections, 3 failed", oneFailed = "Summary total : 1 collection, 1 failed",
                      oneMigrated = "Summary total : 1 collection, 1 migrated",
                      unreadable = "tb_audit_log collection could not be read from MongoDB (mongosh exit 1)",
                      migrated = "Summary total : 3 collections, 3 migrated";
    const std::vector<Fault> faults = {
        {"summary read", {{"QOR_CH_FAIL", "min(oid) from mig_tb_audit_log_completed"}}, {"start"}, 1,
         {audit + "failed", report + all, base + all, failed}, "", 0},
        {"load", {{"QOR_CH_FAIL", "INSERT INTO mig_tb_audit_log "}}, {"start", "-t", "tb_audit_log"}, 1,
         {audit + "failed, staging 0, completed 0", oneFailed}, "", 0},
        {"staging truncate after the counts", {{"QOR_CH_FAIL", "truncate table mig_tb_audit_log"}}, {"start", "-t", "tb_audit_log"}, 1,
         {audit + "failed, staging 80, completed 80", oneFailed}, "mig_tb_audit_log could not be emptied (clickhouse-client exit 210)"},
        {"staging counts", {{"QOR_CH_FAIL", "FROM mig_tb_audit_log) as a"}}, {"start", "-t", "tb_audit_log"}, 1, {audit + "failed, counts unreadable", oneFailed},
         "tb_audit_log staging and completed counts could not be read (clickhouse-client exit 210)"},
        {"merge_seq conversion", {{"text merge_seq", ""}}, {"start"}, 1,
         {audit + all, report + "failed", base + "failed", "Summary total : 3 collections, 1 migrated, 2 failed"},
         "tb_report_data waits for the merge_seq conversion"},
        {"snowflake read", {{"QOR_CH_FAIL", "dateTime64ToSnowflakeID"}}, {"start"}, 1,
         {audit + all, report + all, base + all, "Summary : Snowflake ID hand-off : failed",
          migrated}, "", 80, false},
        {"snowflake write", {{"psql fails", ""}}, {"start"}, 1,
         {audit + all, report + all, base + all, "Summary : Snowflake ID hand-off : failed",
          migrated}, "Failed to update TB_OLAP_TABLE in PostgreSQL", 80, false},
        {"summary read not a number", {{"QOR_CH_FAIL", "min(oid) from mig_tb_audit_log_completed"},
         {"QOR_CH_FAIL_REPLY", "Code: 60\t0\t0\t\n"}}, {"start"}, 1,
         {audit + "run stopped", "Summary total : 1 collection, 1 run stopped"}, "Error: ", 0},
        {"report window load", {{"QOR_CH_FAIL", "INSERT INTO mig_tb_report_data "}, {"QOR_CH_FAIL_CALL", "2"}},
         {"start"}, 1, {audit + all, report + "failed, staging 41, completed 41", base + all, failed}},
        {"retry's target delete", {{"QOR_CH_FAIL", "DELETE FROM tb_audit_log"}}, {"retry", "-t", "tb_audit_log"}, 1,
         {audit + "failed", oneFailed}, "tb_audit_log table data delete failed (clickhouse-client exit 210), its outcome is unknown: "
         "mig_tb_audit_log_completed stays marked, run retry -t tb_audit_log again", 80, true, 1},
        {"retry's target delete, run after the client gave up", {{"QOR_CH_FAIL", "DELETE FROM tb_audit_log"}, {"QOR_CH_FAIL_LATE", "1"}},
         {"retry", "-t", "tb_audit_log"}, 1, {audit + "failed", oneFailed}, "tb_audit_log table data delete failed (clickhouse-client exit 209)",
         80, true, 0, true},
        {"retry's count of the history it would delete", {{"QOR_MONGOSH_FAIL", ".map(b =>"}}, {"retry", "-t", "tb_audit_log"}, 1,
         {audit + "failed", oneFailed}, "could not be counted: mongosh exit 1), nothing was cleared"},
        {"retry's mark", {{"QOR_CH_FAIL", "values (now64(), 'retry"}}, {"retry", "-t", "tb_audit_log"}, 1, {audit + "failed", oneFailed},
         "tb_audit_log table data could not be deleted (clickhouse-client exit 210), nothing was cleared", 80, true, 0},
        {"retry's completed delete", {{"QOR_CH_FAIL", "DELETE FROM mig_tb_audit_log_completed"}},
         {"retry", "-t", "tb_audit_log"}, 1, {audit + "failed", oneFailed},
         "tb_audit_log table data could not be deleted from mig_tb_audit_log_completed", 80, true, 1},
        {"a read by date, which only a retry's age floor walk makes", {{"QOR_MONGOSH_FAIL", "$gte: ISODate"}}, {"start"}, 0,
         {audit + all, report + all, base + all, migrated}},
        {"the same, a retry with dates", {{"QOR_MONGOSH_FAIL", "$gte: ISODate"}},
         {"retry", "-t", "tb_base_report_data", "-s", isoDay(daysAgo(2)), "-e", isoDay(daysAgo(2))}, 0,
         {base + "skipped for overlap, verified 39", "Summary total : 1 collection, 1 skipped for overlap"}},
        {"wrong MongoDB password", {{"QOR_MONGO_PASSWORD", "other"}}, {"start"}, 1,
         {audit + "failed", report + "failed", base + "failed", allFailed}, unreadable, 0},
        {"wrong MongoDB password, retry", {{"QOR_MONGO_PASSWORD", "other"}}, {"retry", "-t", "tb_audit_log"}, 1,
         {audit + "failed", oneFailed}, "tb_audit_log previous data could not be cleared, migration skipped"},
        {"age floor walk, an _id read", {{"QOR_MONGOSH_FAIL", "$gte: ISODate"}}, {"retry", "-t", "tb_base_report_data"}, 1,
         {base + "failed", oneFailed}, "tb_base_report_data previous data could not be cleared, migration skipped"},
        {"age floor walk, a date read", {{"QOR_MONGOSH_FAIL", "find({ _id: {"}}, {"retry", "-t", "tb_base_report_data"}, 1,
         {base + "failed", oneFailed}, "tb_base_report_data previous data could not be cleared, migration skipped"},
        {"wrong MongoDB password, report retry", {{"QOR_MONGO_PASSWORD", "other"}}, {"retry", "-t", "tb_report_data"}, 1,
         {report + "failed", oneFailed}, "tb_report_data collection could not be read from MongoDB (mongosh exit 1)"},
        {"comparison unreadable", {{"QOR_MONGOSH_FAIL", ".map(b =>"}}, {"start"}, 1,
         {audit + "failed, staging 80, completed 80", report + "failed, staging 80, completed 80",
          base + "failed, staging 80, completed 80", allFailed}, "tb_audit_log could not be verified (mongosh exit 1)"},
        {"report's newest date", {{"QOR_MONGOSH_FAIL", "sort({create_time: -1})"}}, {"start"}, 1,
         {audit + all, report + "failed", base + all, failed}, "tb_report_data collection could not be read from MongoDB"},
        {"exporter dies halfway", {{"QOR_MONGOEXPORT_FAIL_AFTER", "30"}}, {"start"}, 1,
         {audit + "failed, staging 30, completed 30", report + "failed, staging 61, completed 61", base + "failed",
          allFailed}, "tb_audit_log table migration failed (mongoexport exit 1, clickhouse-client exit 0)", 30},
        {"disk limit", {}, {"start", "-dl", "1"}, 1,
         {audit + "run stopped", "Summary total : 1 collection, 1 run stopped"},
         "Disk usage exceeds threshold, stopping migration", 0},
        {"work folder unwritable", {{"block tmp", ""}}, {"start"}, 1,
         {audit + "failed, staging 0, completed 0", report + "failed, staging 0, completed 0", base + "failed", allFailed},
         "Cannot write the work file " , 0},
        {"link at the id export", {{"link", "/tmp/oid_temp.txt"}}, {"start"}, 1,
         {audit + all, report + all, base + "failed", failed}, "oid_temp.txt : it is a symbolic link"},
        {"link at the id list", {{"link", "/tmp/oid_list.txt"}}, {"start"}, 1,
         {audit + all, report + all, base + "failed", failed}, "oid_list.txt : it is a symbolic link"},
        {"PID file of a live process named qorolapmigrate that holds no lock", {{"namesake", ""}}, {"start", "-t", "tb_audit_log"}, 0,
         {audit + all, oneMigrated}, ", but no run holds its lock: a stale file, removed"},
        {"PID file of this very run, its number handed back after a reboot", {{"own pid", ""}}, {"start", "-t", "tb_audit_log"}, 0,
         {audit + all, oneMigrated}},
        {"another account's exporter file", {{"foreign", "/tmp/qorolapmigrate-mongoexport-1.yaml"}}, {"start", "-t", "tb_audit_log"}, 0,
         {audit + all, oneMigrated}, "qorolapmigrate-mongoexport-1.yaml as it is : it belongs to another account"},
        {"another account's file at the ledger's", {{"foreign", "/var/run/qor/qorolapmigrate.children.new"}}, {"start"}, 1,
         {audit + "failed", report + "failed", base + "failed", "Summary : Snowflake ID hand-off : failed", allFailed},
         "qorolapmigrate.children.new : it belongs to another account", 0, false},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        Sandbox box;
        for (const char* name : {"tb_audit_log", "tb_report_data", "tb_base_report_data"})
            box.collection(name, spread(daysAgo(3), daysAgo(1), 80));
        const std::string list =
            box.write("lists/list.txt", "[qor]\ntb_audit_log\n[report]\ntb_report_data\ntb_base_report_data\n");
        if (fault.args[0] == "retry") { ASSERT_EQ(box.run({"start", "-f", list}).status, 0); }
        for (const auto& [name, value] : fault.env) box.env(name, value);
        if (fault.env.count("block tmp")) {  // root writes through any mode bits, not into a file
            std::filesystem::remove_all(box.path("/tmp"));
            box.write("tmp", "");
        }
        if (fault.env.count("text merge_seq")) {  // "x41": $convert cannot read it
            std::ifstream in(box.path("/tevfs/nosql/tb_report_data.jsonl"));
            std::string text{std::istreambuf_iterator<char>(in), {}};
            box.write("tevfs/nosql/tb_report_data.jsonl", text.insert(text.find("\"merge_seq\":\"") + 13, "x"));
        }
        const std::string planted = box.write("elsewhere.txt", "untouched");
        if (fault.env.count("link")) std::filesystem::create_symlink(planted, box.path(fault.env.at("link")));
        if (fault.env.count("psql fails")) {
            std::filesystem::remove(box.path("/bin/psql"));
            std::filesystem::create_symlink("/bin/false", box.path("/bin/psql"));
        }
        pid_t namesake = 0;
        if (fault.env.count("namesake")) {
            std::filesystem::create_symlink("/bin/sleep", box.path("/qorolapmigrate"));
            const char* argv[] = {"qorolapmigrate", "600", nullptr};
            ASSERT_EQ(posix_spawn(&namesake, box.path("/qorolapmigrate").c_str(), nullptr, nullptr, const_cast<char**>(argv), environ), 0);
            box.write("var/run/qor/qorolapmigrate.pid", std::to_string(namesake));
        }
        const std::string foreign = fault.env.count("foreign") ? box.write(fault.env.at("foreign").substr(1), "theirs") : "";
        ASSERT_TRUE(foreign.empty() || chown(foreign.c_str(), 65534, 65534) == 0);
        std::vector<std::string> args = fault.args;
        args.insert(args.begin() + 1, {"-f", list});
        const Result run = fault.env.count("own pid")
                               ? box.shell("echo $$ >\"$HOME/var/run/qor/qorolapmigrate.pid\"; exec \"$0\" \"$@\"", args)
                               : box.run(args);
        if (namesake != 0) kill(namesake, SIGKILL), waitpid(namesake, nullptr, 0);
        EXPECT_EQ(run.status, fault.status) << run.out << run.err;
        EXPECT_EQ(run.summary(), fault.summary) << run.out;
        if (!fault.why.empty()) { EXPECT_NE(run.out.find(fault.why), std::string::npos) << run.out; }
        std::ifstream kept(planted), theirs(foreign);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "untouched");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(theirs), {}), foreign.empty() ? "" : "theirs");
        if (!foreign.empty()) std::filesystem::remove(foreign);  // the tool's own are counted below
        EXPECT_EQ(Engines::get().count("mig_tb_audit_log_completed"), fault.completedLeft);
        if (fault.args[0] == "retry" && fault.completedLeft == 80 && fault.thenStart != 1 && !fault.thenAgain)
            expectMigrated(fault.args[2], 80);
        if (fault.thenStart != -1) {
            box.env("QOR_CH_FAIL", "");
            EXPECT_EQ(box.run(fault.thenAgain ? args : std::vector<std::string>{"start", "-f", list}).status, fault.thenStart);
            if (fault.thenStart == 0) expectMigrated(fault.args[2], 80);
        }
        EXPECT_EQ(snowflake() != "0", fault.handedOff);
        EXPECT_EQ(workFiles(box), 0u);
        for (Call& call : box.calls("mongoexport")) EXPECT_EQ(call.info["config_existed"], "True") << "its password";
        for (Call& call : box.calls("mongosh")) EXPECT_EQ(call.info["stdin"], "/dev/null") << "the operator's terminal";
    }
}

// Takes the rows picked by `where` (over n, their rank by oid from 1, and server_time) out of both tables.
void takeOut(const std::string& olap, const std::string& where) {
    const std::string oids = Engines::get().clickhouse("select groupArray(oid) from (select oid, server_time, row_number() "
                                                       "over (order by oid) as n from mig_" + olap + "_completed) where " + where);
    for (const std::string& table : {olap, "mig_" + olap + "_completed"})
        Engines::get().clickhouse("DELETE FROM " + table + " WHERE has(" + oids + ", oid)");
}

TEST(Repair, MovesExactlyWhatClickHouseLacksAndDeletesNothing) {
    const std::vector<std::int64_t> large = spread(daysAgo(6), daysAgo(1), 12000), small = spread(daysAgo(6), daysAgo(1), 600);
    std::vector<std::int64_t> aged = {daysAgo(800), daysAgo(800) + 60}, recent = spread(daysAgo(3), daysAgo(1), 100);
    aged.insert(aged.end(), recent.begin(), recent.end());
    const std::int64_t day = daysAgo(3), inDay = std::count_if(small.begin(), small.end(), [&](auto s) { return s / 86400 == day / 86400; });
    const auto holes = [](const Sandbox&) { takeOut("tb_audit_log", "n % 1200 = 7 or n between 5001 and 5400"); };
    const auto few = [](const Sandbox&) { takeOut("tb_audit_log", "n % 100 = 7"); };
    // A bulk insert gives thousands of documents one second, one process value and a counter: a missing
    // document there must not hide behind a row twice or a let-go row, nor across seconds, nor below the top.
    const std::int64_t s = daysAgo(3) + 777;
    const auto bulk = [&](std::vector<std::int64_t> seconds, std::vector<int> inserts) {
        for (std::size_t i = 0; i < inserts.size(); ++i) seconds.insert(seconds.end(), inserts[i], s + i);
        return seconds;
    };
    const std::vector<std::int64_t> oneSecond = bulk(spread(daysAgo(5), daysAgo(1), 2000), {1000}),
                                    threeSeconds = bulk(spread(daysAgo(5), daysAgo(1), 2000), {100, 100, 100}),
                                    deep = bulk(spread(daysAgo(6), daysAgo(1), 11600), {1000});
    const auto before = [&](const std::vector<std::int64_t>& seconds) { return std::count_if(seconds.begin(), seconds.end(), [&](auto t) { return t < s; }); };
    const std::int64_t at = before(oneSecond), deepAt = before(deep), apart = before(threeSeconds);
    const auto nth = [](std::int64_t n) { return "n = " + std::to_string(n); };
    const auto twiceAt = [](std::int64_t n) {
        for (const std::string table : {"tb_audit_log", "mig_tb_audit_log_completed"})
            Engines::get().clickhouse("insert into " + table + " select * from " + table + " order by oid limit 1 offset " + std::to_string(n - 1));
    };
    const struct {
        std::string name, collection;
        std::vector<std::int64_t> seconds;
        std::function<void(const Sandbox&)> damage;
        std::vector<std::string> args;  // after "repair -t COLLECTION"
        std::map<std::string, std::string> env;
        int status;
        std::string summary, why;  // why: a line the run writes
        std::int64_t completed;    // rows of the completed table afterwards
        int moves, idsByName;      // export-and-load pipelines; ids given to them in "$in" lists
        std::string mark = "";     // of the drop's line, where a start before the repair must end 1 and a drop keep it
    } cases[] = {
        {"10 scattered and a hole of 400, in batches of 4", "tb_audit_log", large, holes, {"-n", "4"}, {}, 0, "repaired 410, verified 12000",
         "tb_audit_log differs between ", 12000, 3, 10},
        {"complete", "tb_audit_log", small, [](auto&) {}, {}, {}, 0, "complete, verified 600", "tb_audit_log verified : 600 documents", 600, 0, 0},
        {"report with a missing day", "tb_report_data", small, [&](auto&) { takeOut("tb_report_data", "intDiv(server_time, 86400000) = " + std::to_string(day / 86400)); },
         {}, {}, 0, "repaired " + std::to_string(inDay) + ", verified 600", "tb_report_data repair moves ", 600, 1, 0},
        {"a row twice and a document missing in one second", "tb_audit_log", oneSecond, [&](auto&) { twiceAt(at + 10); takeOut("tb_audit_log", nth(at + 20)); },
         {}, {}, 1, "failed, repaired 1, 1 rows twice, run retry -t tb_audit_log", "tb_audit_log holds 1 rows twice on ", 3001, 1, 1,
         "MongoDB 3000, ClickHouse 3000, 1 missing, 1 twice"},
        {"a let-go document and a missing one in one second", "tb_audit_log", oneSecond, [&](auto& box) { box.letGo("tb_audit_log", at + 10); takeOut("tb_audit_log", nth(at + 20)); },
         {}, {}, 0, "repaired 1, verified 2999", "tb_audit_log keeps 1 rows of documents MongoDB no longer holds", 3000, 1, 1,
         "MongoDB 2999, ClickHouse 2999, 1 missing"},
        {"rows twice at s and s+2, two missing at s+1", "tb_audit_log", threeSeconds,
         [&](auto&) { twiceAt(apart + 5); twiceAt(apart + 205); takeOut("tb_audit_log", nth(apart + 105) + " or " + nth(apart + 150)); },
         {}, {}, 1, "failed, repaired 2, 2 rows twice, run retry -t tb_audit_log", "tb_audit_log holds 2 rows twice on ", 2302, 1, 2,
         "MongoDB 2300, ClickHouse 2300, 2 missing, 2 twice"},
        {"a cancelling pair below the top of 12,600", "tb_audit_log", deep,
         [&](auto&) { twiceAt(deepAt + 10); takeOut("tb_audit_log", nth(100) + " or " + nth(deepAt + 20)); },
         {}, {}, 1, "failed, repaired 2, 1 rows twice, run retry -t tb_audit_log", "tb_audit_log holds 1 rows twice on ", 12601, 1, 2,
         "MongoDB 12600, ClickHouse 12599, 2 missing, 1 twice"},
        {"a let-go document's row held twice", "tb_audit_log", small, [&](auto& box) { twiceAt(300); box.letGo("tb_audit_log", 300); },
         {}, {}, 0, "complete, verified 599", "tb_audit_log keeps 2 rows of documents MongoDB no longer holds", 601, 0, 0},
        {"documents whose _id is a string and a number", "tb_audit_log", small,
         [](auto& box) { std::ofstream(box.path("/tevfs/nosql/tb_audit_log.jsonl"), std::ios::app) << "{\"_id\":\"manual-fix-2026-11\"}\n{\"_id\":42}\n"; },
         {}, {}, 1, "failed", "tb_audit_log holds 2 documents whose _id is not an ObjectId", 600, 0, 0,
         "MongoDB 600, ClickHouse 600, 2 documents whose _id is not an ObjectId"},
        {"dry run", "tb_audit_log", small, few, {"--dry-run"}, {}, 1, "would repair 6", "tb_audit_log repair would move 6 documents", 594, 0, 0},
        {"a row twice and a document missing, dry run", "tb_audit_log", small, [&](auto&) { twiceAt(301); takeOut("tb_audit_log", "n = 100"); },
         {"--dry-run"}, {}, 1, "failed, 1 rows twice, run retry -t tb_audit_log", "tb_audit_log holds 1 rows twice on ", 600, 0, 0},
        {"base report above its floor", "tb_base_report_data", aged, [](auto&) { takeOut("tb_base_report_data", "n % 10 = 3"); }, {}, {}, 0,
         "repaired 10, verified 100", "tb_base_report_data repair moves 10 documents : 0 runs by their bounds, 10 by their ids", 100, 1, 10},
        {"an unreadable count of other ids", "tb_audit_log", small, [](auto&) {}, {}, {{"QOR_MONGOSH_FAIL", "countDocuments"}}, 1, "failed",
         "tb_audit_log could not be verified (mongosh exit 1)", 600, 0, 0},
        {"a failed MongoDB summary", "tb_audit_log", small, few, {}, {{"QOR_MONGOSH_FAIL", ".map(b =>"}}, 1, "failed",
         "tb_audit_log could not be verified (mongosh exit 1)", 594, 0, 0},
        {"staging not emptied", "tb_audit_log", small, few, {}, {{"QOR_CH_FAIL", "truncate table mig_tb_audit_log"}}, 1,
         "failed, repaired 6, verified 600", "mig_tb_audit_log could not be emptied", 600, 1, 6},
        {"a link at its query file", "tb_audit_log", small, few, {},
         {{"link", "/tmp/qorolapmigrate-repair-query.json"}}, 1, "failed", "Cannot write the work file ", 594, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sandbox box;
        box.collection(c.collection, c.seconds);
        ASSERT_EQ(box.run({"start", "-t", c.collection}).status, 0);
        c.damage(box);
        if (!c.mark.empty()) {
            EXPECT_EQ(box.run({"start", "-t", c.collection}).status, 1);
            const Result drop = box.run({"drop", "-f", box.write("lists/drop_list.txt", "[qor]\n" + c.collection + "\n")}, "yes\n");
            EXPECT_NE(drop.out.find("[NOT VERIFIED : " + c.mark + "]"), std::string::npos) << drop.out;
            EXPECT_TRUE(std::filesystem::exists(box.path("/tevfs/nosql/" + c.collection + ".jsonl")));
        }
        for (const auto& [name, value] : c.env) box.env(name, value);
        const std::string planted = box.write("elsewhere.txt", "untouched");
        if (c.env.count("link")) std::filesystem::create_symlink(planted, box.path(c.env.at("link")));
        const std::size_t loadsBefore = box.loads(c.collection).size(), queriesBefore = box.calls("clickhouse-client").size();
        std::vector<std::string> args = {"repair", "-t", c.collection};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result run = box.run(args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_EQ(run.summaryLine(0), "Summary : " + c.collection + " : " + c.summary) << run.out;
        EXPECT_FALSE(run.messages(c.why).empty()) << run.out;
        const std::vector<std::string> differing = run.messages(c.collection + " differs between ");
        if (c.status == 0) {  // one comparison, each piece named once
            EXPECT_EQ(std::set(differing.begin(), differing.end()).size(), differing.size()) << run.out;
        }
        EXPECT_EQ(Engines::get().count("mig_" + c.collection + "_completed"), c.completed);
        if (c.status == 0 && c.moves > 0) expectMigrated(c.collection, c.completed);
        int idsByName = 0;
        std::vector<Call> moves = box.loads(c.collection), queries = box.calls("clickhouse-client");
        for (auto call = moves.begin() + loadsBefore; call != moves.end(); ++call) {
            const std::string query = call->info["query_file"];
            for (std::size_t at = query.find("$in"); at != std::string::npos && (at = query.find("$oid", at + 1)) != std::string::npos;)
                ++idsByName;
        }
        EXPECT_EQ(moves.size() - loadsBefore, static_cast<std::size_t>(c.moves));
        EXPECT_EQ(idsByName, c.idsByName);
        for (auto call = queries.begin() + queriesBefore; call != queries.end(); ++call) {
            const std::string& query = call->argv.back();
            EXPECT_EQ(query.find("DELETE"), std::string::npos) << query;
            EXPECT_EQ(query.find("MemoryTracking"), std::string::npos) << "a memory guard nobody asked for";
            EXPECT_TRUE(query.find("truncate") == std::string::npos || query.ends_with("truncate table mig_" + c.collection)) << query;
        }
        std::ifstream kept(planted);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "untouched");
        EXPECT_EQ(workFiles(box), c.env.count("link")) << "a link is left as it is";
    }
}

TEST(Retry, BaseReportDataTakesAgainExactlyWhatItClearsAtItsAgeFloor) {
    Sandbox box;
    const std::int64_t old = daysAgo(800), floor = std::time(nullptr) - 732 * 86400;
    box.collection("tb_base_report_data", {old, old + 60}, {}, false);  // nothing above the floor yet
    const Result belowFloor = box.run({"retry", "-t", "tb_base_report_data"});
    EXPECT_EQ(belowFloor.status, 0) << belowFloor.out;
    EXPECT_EQ(belowFloor.summaryLine(0), "Summary : tb_base_report_data : empty");
    // Pairs whose dates zigzag against their _ids across the floor: each step of the walk goes down one pair.
    std::map<std::int64_t, std::int64_t> zigzag;
    for (int pair = 0; pair <= 21; ++pair) {
        zigzag[floor + 300 - 1200 * pair] = daysAgo(10) - (2 * pair - 1) * 86400;
        zigzag[floor + 900 - 1200 * pair] = daysAgo(10) - (2 * pair + 1) * 86400;
    }
    std::vector<std::int64_t> seconds;
    for (const auto& [second, dated] : zigzag) seconds.push_back(second);
    box.collection("tb_base_report_data", seconds, zigzag, false);
    const Result noCut = box.run({"retry", "-t", "tb_base_report_data"});
    EXPECT_EQ(noCut.status, 1);
    EXPECT_FALSE(noCut.messages("tb_base_report_data collection could not be read from MongoDB (no cut at the age floor").empty()) << noCut.out;
    EXPECT_EQ(Engines::get().count("tb_base_report_data"), 0);
    // Written just above the floor for a day below it: dated below the floor, exported above it.
    box.collection("tb_base_report_data", {old, old + 60, floor + 3600, floor + 3660, daysAgo(2), daysAgo(1)},
                   {{floor + 3600, floor - 86400}, {floor + 3660, floor - 86400}}, false);
    ASSERT_EQ(box.run({"start", "-t", "tb_base_report_data"}).status, 0);
    EXPECT_EQ(box.run({"retry", "-t", "tb_base_report_data"}).status, 0);
    expectMigrated("tb_base_report_data", 4);  // nothing below the cut: MongoDB alone keeps that
    ASSERT_EQ(box.run({"start", "-t", "tb_base_report_data", "-s", isoDay(old), "-e", isoDay(old)}).status, 0);
    const Result retry = box.run({"retry", "-t", "tb_base_report_data"});
    EXPECT_EQ(retry.status, 0) << retry.out;
    expectMigrated("tb_base_report_data", 6);
    const Result again = box.run({"start", "-t", "tb_base_report_data"});
    EXPECT_EQ(again.summaryLine(0), "Summary : tb_base_report_data : complete, verified 4") << again.out;
}

// A reader that went away (a pipe to head, a closed terminal) costs the run only what it writes.
TEST(ClosedOutput, TheRunGoesOnToItsOwnEnd) {
    Sandbox box;
    const std::vector<std::string> names = {"tb_audit_log", "tb_report_data", "tb_base_report_data"};
    for (const std::string& name : names) box.collection(name, spread(daysAgo(3), daysAgo(1), 80));
    const std::string status = box.path("/status");
    const Result piped = box.shell("{ \"$0\" \"$@\"; echo $? >\"$HOME/status\"; } | /usr/bin/head -1", {"start", "-f", listFile(box, names)});
    std::ifstream written(status);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "0\n") << piped.out << piped.err;
    EXPECT_EQ(std::count(piped.out.begin(), piped.out.end(), '\n'), 1) << piped.out;
    for (const std::string& name : names) expectMigrated(name, 80);
    EXPECT_NE(snowflake(), "0");
    EXPECT_FALSE(std::filesystem::exists(box.path("/var/run/qor/qorolapmigrate.pid")));
    EXPECT_EQ(workFiles(box), 0u);
}

// Live processes whose environment names the sandbox: the programs a run started.
std::vector<pid_t> programsOf(const Sandbox& box) {
    std::vector<pid_t> found;
    for (const auto& process : std::filesystem::directory_iterator("/proc")) {
        std::ifstream environ(process.path() / "environ");
        const std::string text{std::istreambuf_iterator<char>(environ), {}};
        if (text.find(box.path("/").string()) != std::string::npos) found.push_back(std::stoi(process.path().filename()));
    }
    return found;
}

// Four pipelines at once, each stopped halfway.
TEST(StoppedRun, EndsWhatItStartedOrKeepsTheNextRunOutWhileItRunsAndTheNextRunsRecover) {
    const int documents = 8000;
    const std::string n = std::to_string(documents);
    // Orphans come to this process, which reaps them as an init would: a group's leader that ends is gone.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    for (const int signal : {SIGTERM, SIGKILL, SIGHUP}) {
        SCOPED_TRACE(signal);
        Sandbox box;
        box.collection("tb_audit_log", spread(daysAgo(30), daysAgo(1), documents));
        // The exporters stop after enough documents for the loaders to commit a first block.
        box.env("QOR_CH_BLOCK_BYTES", "65536");
        box.env("QOR_MONGOEXPORT_HANG_AFTER", "1000");
        std::signal(SIGHUP, signal == SIGHUP ? SIG_IGN : SIG_DFL);  // SIGHUP as under nohup
        const pid_t run = box.start({"start", "-t", "tb_audit_log", "-j", "4", "-np", "mongopass"});
        std::signal(SIGHUP, SIG_DFL);
        while (Engines::get().count("mig_tb_audit_log_completed") == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::ifstream arguments("/proc/" + std::to_string(run) + "/cmdline");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(arguments), {}).find("pass"), std::string::npos) << "on the process list";
        // Pipelines that hang still get their progress line.
        for (int waited = 0; signal == SIGHUP && box.outputSoFar(run).find(" documents (") == std::string::npos && waited < 150; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_TRUE(signal != SIGHUP || box.outputSoFar(run).find(" documents (") != std::string::npos) << box.outputSoFar(run);
        kill(run, signal);  // the tool alone, as kill(1) or a service manager without its group would
        box.env("QOR_MONGOEXPORT_HANG_AFTER", "-1");
        if (signal == SIGHUP) {
            box.write("record/resume", "");
            const Result hungUp = box.finish(run);
            EXPECT_EQ(hungUp.status, 0) << hungUp.out << hungUp.err;
            expectMigrated("tb_audit_log", documents);
            continue;
        }
        const Result stopped = box.finish(run);
        EXPECT_EQ(stopped.status, 128 + signal) << stopped.out << stopped.err;
        EXPECT_EQ(std::filesystem::exists(box.path("/var/run/qor/qorolapmigrate.pid")), signal == SIGKILL);
        EXPECT_EQ(workFiles(box), signal == SIGKILL ? 4u : 0u) << "the killed exports' password files, one each";
        if (signal == SIGTERM) {
            EXPECT_EQ(stopped.messages("tb_audit_log interrupted by "), std::vector<std::string>{"tb_audit_log interrupted by SIGTERM"});
            EXPECT_EQ(stopped.summary(), (std::vector<std::string>{"Summary : tb_audit_log : interrupted",
                                                                   "Summary total : 1 collection, 1 interrupted"}));
            // Signalled with the tool, they may still be on their way out when it ends, on a loaded machine.
            for (int waited = 0; !programsOf(box).empty() && waited < 50; ++waited) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_EQ(programsOf(box), std::vector<pid_t>{});
        } else {
            // The leaders of the groups end; the programs in them go on.
            std::ifstream ledger(box.path("/var/run/qor/qorolapmigrate.children"));
            pid_t leader = 0;
            for (std::string program; ledger >> leader >> program;) {
                kill(leader, SIGKILL);
                waitpid(leader, nullptr, 0);
            }
            const std::size_t exports = box.calls("mongoexport").size();
            for (int refusal = 0; refusal < 2; ++refusal) {  // a refusal leaves the ledger to the next start
                const Result refused = box.run({"start", "-t", "tb_audit_log"});
                EXPECT_EQ(refused.status, 1) << refused.out << refused.err;
                EXPECT_EQ(refused.messages("an earlier run's mongoexport (pid ").size(), 1u) << refused.out;
            }
            EXPECT_EQ(box.calls("mongoexport").size(), exports);
        }
        for (const pid_t orphan : programsOf(box)) {
            kill(orphan, SIGKILL);
            waitpid(orphan, nullptr, 0);
        }
        const std::int64_t arrived = Engines::get().count("mig_tb_audit_log_completed");
        EXPECT_LT(arrived, documents);

        const Result again = box.run({"start", "-t", "tb_audit_log"});
        EXPECT_EQ(again.status, 1) << again.out << again.err;
        EXPECT_EQ(again.summary(), (std::vector<std::string>{"Summary : tb_audit_log : incomplete, run repair -t tb_audit_log",
                                                             "Summary total : 1 collection, 1 incomplete"}));
        EXPECT_EQ(Engines::get().count("mig_tb_audit_log_completed"), arrived);
        EXPECT_EQ(workFiles(box), 0u);
        const Result retry = box.run({"retry", "-t", "tb_audit_log"});
        // The killed run's staging rows are still there: retry clears the completed and target tables only.
        EXPECT_EQ(retry.summaryLine(0), "Summary : tb_audit_log : migrated after clearing, verified " + n + ", staging " +
                                               std::to_string(documents + arrived) + ", completed " + n);
        EXPECT_EQ(Engines::get().clickhouse("select count(), uniqExact(oid) from tb_audit_log"), n + "\t" + n);
        EXPECT_FALSE(std::filesystem::exists(box.path("/var/run/qor/qorolapmigrate.pid")));
    }
}

}  // namespace
}  // namespace qortest

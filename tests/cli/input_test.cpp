// What the operator hands the tool: command lines, list files, configuration
// files, answers; refused cleanly, never run as shell text, never echoed.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <sstream>
#include <thread>

#include "rig.h"

namespace qortest {
namespace {

TEST(CommandLine, RefusalsSayWhyAndRunNothing) {
    const struct {
        std::vector<std::string> args;
        std::string why;  // a message on standard output, else a line on standard error
    } refusals[] = {
        {{"start", "-s", "2025-01-01"}, "Please enter both start and end times"},
        {{"start", "-e", "2025-01-01"}, "Please enter both start and end times"},
        {{"start", "-s", "2025-1-01", "-e", "2025-01-02"}, "The time format is incorrect (\"ex) 2025-01-01\")"},
        {{"start", "-s", "2025-01-31", "-e", "2025-01-01"}, "The end time must be greater than or equal to th start time"},
        {{"start", "-dl", "101"}, "Please check disk usage limit (0 ~ 100)"},
        {{"start", "-dl", "-1"}, "Please check disk usage limit (0 ~ 100)"},
        {{"start", "-ml", "101"}, "Please check memory usage limit (1 ~ 100)"},
        {{"start", "-n", "fifty"}, "-n option : fifty"},
        {{"start", "-j", "99999999999999999999"}, "-j option : 99999999999999999999"},
        {{"retry"}, "Please specify one table with the \"-t\" option"},
        {{"retry", "-t", "tb_audit_lgo"}, "tb_audit_lgo is not in the collection list"},
        {{"migrate"}, "Please check the command you entered !!"},
        {{"drop"}, "Please specify the file with the \"-f\" option"},
        {{"drop", "-f", "/root/list.txt"}, "Please check the file name \"drop\" is not included"},
    };
    for (const auto& refusal : refusals) {
        Sandbox box;
        const Result run = box.run(refusal.args);
        EXPECT_EQ(run.status, 1) << refusal.why;
        EXPECT_NE((run.err + run.out).find(refusal.why), std::string::npos) << run.out << run.err;
        EXPECT_TRUE(box.calls("mongosh").empty() && box.calls("clickhouse-client").empty()) << refusal.why;
    }
    // Out of range, the tuning options are brought back within it, and the run says so.
    const Result tuned = Sandbox().run({"start", "-t", "tb_audit_log", "-n", "301", "-j", "17", "-w", "-5", "-i", "7", "--dry-run"});
    for (const char* line : {"Batch Count   : 300", "Jobs          : 16", "Wait Time     : 10", "Interval      : 7"})
        EXPECT_EQ(tuned.messages(line).size(), 1u) << tuned.out;
}

// Quotes, blanks, ';', $() and backticks: any of them reaching a shell as code would create the marker.
const std::string marker = "/tmp/qor-injected-" + std::to_string(getpid());
std::string hostile(const std::string& tag) { return tag + "'q\"d $(touch " + marker + ") `touch " + marker + "`;x"; }
const Logins logins{hostile("m"), hostile("c"), hostile("p"), hostile("mu"), hostile("cu")};

// The users and passwords come from the configuration files and, for MongoDB
// and ClickHouse, the passwords once more as options, which the tool must not
// leave readable.
TEST(HostileInput, NamesAreRefusedPasswordsWorkNowhereOnAnArgumentListAndNothingElseRuns) {
    Sandbox box(logins);
    for (const char* name : {"tb_audit_log", "tb_report_data", "tb_base_report_data"})
        box.collection(name, spread(daysAgo(3), daysAgo(1), 60));
    const std::string names = "tb_a'b\ntb_$(touch " + marker + ")\ntb_`touch " + marker + "`\ntb_x;touch " + marker +
                              "\ntb_audit-log\ntb_audit_log.x\n";
    const std::string list = "[qor]\ntb_audit_log\n" + names + "[report]\ntb_report_data\ntb_base_report_data\n";
    const Result run =
        box.run({"start", "-f", box.write("lists/list.txt", list), "-np", logins.mongo, "-cp", logins.clickhouse});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.summaryLine(-1), "Summary total : 9 collections, 3 migrated, 6 refused name");
    for (const char* name : {"mig_tb_audit_log_completed", "mig_tb_report_data_completed", "mig_tb_base_report_data_completed"})
        EXPECT_EQ(Engines::get().count(name), 60) << name;
    EXPECT_NE(Engines::get().postgres("SELECT last_snowflake_id FROM tb_olap_table"), "0");
    EXPECT_FALSE(std::filesystem::exists(marker));
    for (const std::string& password : {logins.mongo, logins.clickhouse, logins.postgres}) {
        EXPECT_EQ((run.out + run.err).find(password), std::string::npos) << password;
        for (const char* program : {"mongosh", "mongoexport", "clickhouse-client"}) {
            for (const Call& call : box.calls(program)) {
                std::string argv;
                for (const std::string& arg : call.argv) argv += arg + " ";
                for (const std::string& seen : {argv, call.info.at("parent"), call.info.at("grandparent")})
                    EXPECT_EQ(seen.find(password), std::string::npos) << program << ": " << seen;
                if (program == std::string("mongoexport")) { EXPECT_EQ(call.info.at("config_mode"), "0600"); }
                EXPECT_EQ(call.info.at("parent_sigpipe"), "default") << "an exporter must die with its loader";
            }
        }
    }
    EXPECT_FALSE(box.calls("mongoexport").empty());
    // An option whose value was left out takes the next option as its value; the one after takes the password.
    const std::size_t calls = box.calls("mongosh").size() + box.calls("clickhouse-client").size();
    for (const std::string left : {"-nu", "-ni"}) {
        box.run({"start", "-t", "tb_audit_log", left, left == "-nu" ? "-np" : "-cp", left == "-nu" ? "-cp" : "-np", "SECRET"});
        for (const char* program : {"mongosh", "clickhouse-client"})
            for (const Call& call : box.calls(program)) EXPECT_EQ(call.info.at("grandparent").find("SECRET"), std::string::npos);
    }
    EXPECT_GT(box.calls("mongosh").size() + box.calls("clickhouse-client").size(), calls);
}

// A drop compares whole collections: 10 documents the completed table lost,
// a MongoDB that cannot be counted and the base report's documents below its
// age floor each keep a plain "yes" from dropping anything; an answer but
// yes, force or no drops nothing and ends 1. `line` is the list line of the
// first collection listed, or what the drop says.
TEST(Inspection, CheckSizesTheListAndDropAsksFirst) {
    Sandbox box;
    box.collection("tb_audit_log", spread(daysAgo(3), daysAgo(1), 300));
    box.collection("tb_backup_log", spread(daysAgo(3), daysAgo(1), 30));
    box.collection("tb_base_report_data", {daysAgo(800), daysAgo(2), daysAgo(1)});
    box.collection("tb_engine_update_log", spread(daysAgo(3), daysAgo(1), 5));
    for (const char* name : {"tb_service_log", "tb_lus_status", "tb_a'b"}) box.collection(name, spread(daysAgo(3), daysAgo(1), 20));
    const std::string both = "[qor]\ntb_audit_log\ntb_backup_log\n";
    const Result check = box.run({"check", "-f", box.write("lists/list.txt", both)});
    EXPECT_EQ(check.status, 0);
    const auto bytes = std::to_string(std::filesystem::file_size(box.path("/tevfs/nosql/tb_audit_log.jsonl")));
    EXPECT_NE(check.out.find("tb_audit_log collection size check : "), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("(" + bytes + " bytes)"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("Migration is possible !!"), std::string::npos) << check.out;
    box.env("QOR_MONGO_PASSWORD", "other");
    const Result unsized = box.run({"check", "-f", box.path("/lists/list.txt")});
    EXPECT_EQ(unsized.status, 1);
    EXPECT_NE(unsized.out.find("tb_audit_log collection size check : unreadable (mongosh exit 1)"), std::string::npos);
    EXPECT_NE(unsized.out.find("Migration capacity cannot be judged : 2 collections could not be sized"), std::string::npos);
    EXPECT_EQ(unsized.out.find("Migration is"), std::string::npos) << unsized.out;
    box.env("QOR_MONGO_PASSWORD", "mongopass");

    const std::string migrated = "[qor]\ntb_audit_log\ntb_backup_log\ntb_service_log\ntb_lus_status\n[report]\ntb_base_report_data\n";
    ASSERT_EQ(box.run({"start", "-f", box.write("lists/list.txt", migrated)}).status, 0);
    const auto firstRows = [](const std::string& table, int rows) {
        return "(SELECT oid FROM " + table + " ORDER BY oid LIMIT " + std::to_string(rows) + ")";
    };
    Engines::get().clickhouse("DELETE FROM mig_tb_audit_log_completed WHERE oid IN " + firstRows("mig_tb_audit_log_completed", 10));
    // Equal totals: one document missing beside a row loaded twice, and beside a row MongoDB let go.
    Engines::get().clickhouse("INSERT INTO mig_tb_service_log_completed SELECT * FROM mig_tb_service_log_completed ORDER BY oid LIMIT 1");
    Engines::get().clickhouse("DELETE FROM mig_tb_service_log_completed WHERE oid = (SELECT max(oid) FROM mig_tb_service_log_completed)");
    box.letGo("tb_lus_status", 1);
    Engines::get().clickhouse("DELETE FROM mig_tb_lus_status_completed WHERE oid = (SELECT max(oid) FROM mig_tb_lus_status_completed)");
    const std::string audit = "tb_audit_log  (completed rows : 290) [NOT VERIFIED : MongoDB 300, ClickHouse 290, 10 missing]",
                      unread = "tb_backup_log  (completed rows : 30) [NOT VERIFIED : MongoDB count unreadable (mongosh exit 1)]";
    const struct { std::string list, password, answer, line; bool dropped; int status; std::string failing = ""; } drops[] = {
        {"tb_audit_log", "mongopass", "yes", audit, false, 1},
        {"tb_audit_log", "mongopass", "no", audit, false, 0},
        {"tb_audit_log\ntb_backup_log", "mongopass", "yes", audit, false, 1},
        {"tb_service_log", "mongopass", "yes", "tb_service_log  (completed rows : 20) [NOT VERIFIED : MongoDB 20, ClickHouse 20, 1 missing, 1 twice]", false, 1},
        {"tb_lus_status", "mongopass", "yes", "tb_lus_status  (completed rows : 19) [NOT VERIFIED : MongoDB 19, ClickHouse 19, 1 missing]", false, 1},
        {"tb_backup_log", "other", "no", unread, false, 1},
        {"tb_backup_log", "other", "force", unread, false, 1},
        {"tb_base_report_data", "mongopass", "yes", "tb_base_report_data  (completed rows : 2) [NOT VERIFIED : MongoDB 3, ClickHouse 2, 1 missing]", false, 1},
        {"tb_backup_log", "mongopass", "yes", "tb_backup_log  (completed rows : 30)", false, 1, ".drop()"},  // the drop fails
        {"tb_a'b", "mongopass", "force", "tb_a'b  (completed rows : unreadable) [NOT VERIFIED : refused name]", false, 1},
        {"tb_backup_log", "mongopass", "y", "Nothing dropped: the answer was not yes, force or no", false, 1},
        {"tb_backup_log", "mongopass", "\nyes", "Nothing dropped: the answer was not yes, force or no", false, 1},
        {"tb_backup_log\ntb_backup_log", "mongopass", " Force it", "tb_backup_log  (completed rows : 30)", true, 0},
        {"tb_engine_update_log\ntb_audit_log\ntb_base_report_data", "mongopass", "force", "tb_engine_update_log  (completed rows : 0) [NOT MIGRATED]", true, 0},
    };
    for (const auto& drop : drops) {
        box.env("QOR_MONGO_PASSWORD", drop.password);
        box.env("QOR_MONGOSH_FAIL", drop.failing);
        const Result run = box.run({"drop", "-f", box.write("lists/drop_list.txt", "[qor]\n" + drop.list + "\n")}, drop.answer + "\n");
        EXPECT_EQ(run.status, drop.status) << run.out;
        EXPECT_NE(run.out.find(drop.line + "\n"), std::string::npos) << run.out;
        std::istringstream names(drop.list), lines(run.out);
        for (std::string name; std::getline(names, name);)
            EXPECT_NE(std::filesystem::exists(box.path("/tevfs/nosql/" + name + ".jsonl")), drop.dropped) << name << run.out;
        std::set<std::string> started;  // a name listed twice is dropped once
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(line.find(" collection drop start") == std::string::npos ||
                        started.insert(line.substr(line.rfind(" - "))).second) << line;
    }
}

// While a drop waits for its answer it holds the one-run lock, also against a
// copy of the tool under another name; a Ctrl-C there ends it, an input that
// ends gives no answer, and a collection listed whole is compared again
// before it goes.
TEST(Inspection, ADropHoldsTheRunLockAndComparesAgainBeforeEachDrop) {
    Sandbox box;
    const std::string list = "[qor]\ntb_audit_log\ntb_backup_log\n";
    for (const char* name : {"tb_audit_log", "tb_backup_log"}) box.collection(name, spread(daysAgo(3), daysAgo(1), 40));
    ASSERT_EQ(box.run({"start", "-f", box.write("lists/list.txt", list)}).status, 0);
    std::filesystem::copy_file(QOR_BINARY, box.path("/qorolapmigrate-1.1.1"));
    const struct { std::string answer; int status; bool auditDropped; std::string why; } drops[] = {
        {"", 130, false, ""},  // SIGINT at the question
        {"", 1, false, "Nothing dropped: the question got no answer"},
        {"yes\n", 1, true, "tb_backup_log collection not dropped, changed since the list : [NOT VERIFIED : MongoDB 40, ClickHouse 30, 10 missing]"},
    };
    for (const auto& d : drops) {
        const std::string fifo = box.path("/.stdin");
        std::filesystem::remove(fifo);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        const pid_t drop = box.start({"drop", "-f", box.write("lists/drop_list.txt", list)});
        const int answer = open(fifo.c_str(), O_WRONLY);  // once the drop holds the other end
        std::filesystem::remove(fifo);
        while (box.outputSoFar(drop).find("(yes/no) : ") == std::string::npos) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const Result retry = box.shell("exec /usr/bin/timeout 30 \"$@\" retry -t tb_backup_log", {box.path("/qorolapmigrate-1.1.1")});  // refused at once, never waiting
        EXPECT_EQ(retry.status, 1);
        EXPECT_NE(retry.err.find("already running !!"), std::string::npos) << retry.out;
        if (!d.answer.empty())  // rows lost while the question waits
            Engines::get().clickhouse("DELETE FROM mig_tb_backup_log_completed WHERE oid IN "
                                      "(SELECT oid FROM mig_tb_backup_log_completed ORDER BY oid LIMIT 10)");
        ASSERT_EQ(write(answer, d.answer.data(), d.answer.size()), static_cast<ssize_t>(d.answer.size()));
        siginfo_t ended{};
        // Again and again: a signal just before the wait for the answer began is not the one that ends it.
        for (int tries = 0; d.status == 130 && ended.si_pid == 0 && tries < 100; ++tries) {
            kill(drop, SIGINT);
            waitid(P_PID, drop, &ended, WEXITED | WNOHANG | WNOWAIT);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_TRUE(d.status != 130 || ended.si_pid == drop) << "Ctrl-C did not end the wait for the answer";
        close(answer);  // a drop still waiting sees its input end
        const Result run = box.finish(drop);
        EXPECT_EQ(run.status, d.status) << run.out << run.err;
        EXPECT_NE(run.out.find(d.why), std::string::npos) << run.out;
        EXPECT_FALSE(std::filesystem::exists(box.path("/var/run/qor/qorolapmigrate.pid")));
        EXPECT_NE(std::filesystem::exists(box.path("/tevfs/nosql/tb_audit_log.jsonl")), d.auditDropped);
        EXPECT_TRUE(std::filesystem::exists(box.path("/tevfs/nosql/tb_backup_log.jsonl")));
    }
}

}  // namespace
}  // namespace qortest

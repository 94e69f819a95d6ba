// What the operator hands the tool: command lines, list files, configuration
// files, answers; refused cleanly, never run as shell text, never echoed.

#include <gtest/gtest.h>
#include <unistd.h>


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
        {{"start", "-n", "fifty"}, "-n option : fifty"},
        {{"retry"}, "Please specify one table with the \"-t\" option"},
        {{"retry", "-t", "tb_audit_lgo"}, "tb_audit_lgo is not in the collection list"},
        {{"migrate"}, "Please check the command you entered !!"},
        {{"start", "alive"}, "already running !!"},
    };
    for (const auto& refusal : refusals) {
        Sandbox box;
        std::vector<std::string> args = refusal.args;
        if (args.back() == "alive") {
            args.pop_back();
            box.write("var/run/qor/qorolapmigrate.pid", std::to_string(getpid()));
        }
        const Result run = box.run(args);
        EXPECT_EQ(run.status, 1) << refusal.why;
        EXPECT_NE((run.err + run.out).find(refusal.why), std::string::npos) << run.out << run.err;
        EXPECT_TRUE(box.calls("mongosh").empty() && box.calls("clickhouse-client").empty()) << refusal.why;
    }
}

// Quotes, blanks, ';', $() and backticks: any of them reaching a shell as code would create the marker.
const std::string marker = "/tmp/qor-injected-" + std::to_string(getpid());
std::string hostile(const std::string& tag) { return tag + "'q\"d $(touch " + marker + ") `touch " + marker + "`;x"; }
const Logins logins{hostile("m"), hostile("c"), hostile("p")};

// The passwords come from the configuration files and, for MongoDB and
// ClickHouse, once more as options, which the tool must not leave readable.
TEST(HostileInput, NamesAreRefusedPasswordsWorkNowhereOnAnArgumentListAndNothingElseRuns) {
    Sandbox box(logins);
    for (const char* name : {"tb_audit_log", "tb_report_data", "tb_base_report_data"})
        box.collection(name, spread(daysAgo(3), daysAgo(1), 60));
    const std::string names = "tb_a'b\ntb_$(touch " + marker + ")\ntb_`touch " + marker + "`\ntb_x;touch " + marker + "\n";
    const std::string list = "[qor]\ntb_audit_log\n" + names + "[report]\ntb_report_data\ntb_base_report_data\n";
    const Result run =
        box.run({"start", "-f", box.write("lists/list.txt", list), "-np", logins.mongo, "-cp", logins.clickhouse});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.summaryLine(-1), "Summary total : 7 collections, 3 migrated, 4 refused name");
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
                if (program == std::string("mongoexport")) {
                    EXPECT_EQ(call.info.at("config_mode"), "0600");
                }
            }
        }
    }
    EXPECT_FALSE(box.calls("mongoexport").empty());
}

TEST(Inspection, CheckSizesTheListAndDropAsksFirst) {
    Sandbox box;
    box.collection("tb_audit_log", spread(daysAgo(3), daysAgo(1), 60));
    box.collection("tb_backup_log", spread(daysAgo(3), daysAgo(1), 30));
    const std::string both = "[qor]\ntb_audit_log\ntb_backup_log\n";
    const Result check = box.run({"check", "-f", box.write("lists/list.txt", both)});
    EXPECT_EQ(check.status, 0);
    const auto bytes = std::to_string(std::filesystem::file_size(box.path("/tevfs/nosql/tb_audit_log.jsonl")));
    EXPECT_NE(check.out.find("tb_audit_log collection size check : "), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("(" + bytes + " bytes)"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("Migration is possible !!"), std::string::npos) << check.out;

    ASSERT_EQ(box.run({"start", "-t", "tb_audit_log"}).status, 0);
    const struct {
        std::string list, answer;
        bool auditLeft, backupLeft;
    } drops[] = {
        {"[qor]\ntb_audit_log\n", "no\n", true, true},
        {"[qor]\ntb_audit_log\n", "yes\n", false, true},
        {both, "yes\n", false, true},  // tb_backup_log is not migrated
        {both, "force\n", false, false},
    };
    const std::string dropList = box.write("lists/drop_list.txt", both);
    box.env("QOR_MONGO_PASSWORD", "other");
    const Result unsized = box.run({"check", "-f", dropList});
    EXPECT_EQ(unsized.status, 1);
    EXPECT_NE(unsized.out.find("tb_audit_log collection size check : unreadable (mongosh exit 1)"), std::string::npos);
    const Result refused = box.run({"drop", "-f", dropList}, "force\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("tb_backup_log collection drop failed (mongosh exit 1)"), std::string::npos) << refused.out;
    EXPECT_TRUE(std::filesystem::exists(box.path("/tevfs/nosql/tb_audit_log.jsonl")));
    box.env("QOR_MONGO_PASSWORD", "mongopass");

    for (const auto& drop : drops) {
        const Result run = box.run({"drop", "-f", box.write("lists/drop_list.txt", drop.list)}, drop.answer);
        EXPECT_EQ(run.status, 0) << drop.answer;
        EXPECT_EQ(std::filesystem::exists(box.path("/tevfs/nosql/tb_audit_log.jsonl")), drop.auditLeft) << drop.answer;
        EXPECT_EQ(std::filesystem::exists(box.path("/tevfs/nosql/tb_backup_log.jsonl")), drop.backupLeft) << drop.answer;
    }
}

}  // namespace
}  // namespace qortest

// The free double, the canned clickhouse-client and psql, and the sandbox
// around them, driven through /bin/sh as the tool drives them.

#include <gtest/gtest.h>

#include <fstream>

#include "rig.h"

namespace qortest {
namespace {

const std::string clickhousePrefix = "clickhouse-client -h 127.0.0.1 --port=8820 -u chuser --password='chpass' --query=";

TEST(FreeDouble, PrintsTheRealLayoutThatAwkReadsTheTotalFrom) {
    Sandbox sandbox;
    sandbox.setMemoryBytes(16'000'000'000ULL);
    const auto table = sandbox.runShell("free -b");
    EXPECT_EQ(table.exitStatus, 0);
    EXPECT_EQ(table.out.substr(0, table.out.find('\n')),
              "               total        used        free      shared  buff/cache   available");
    EXPECT_EQ(table.out.substr(table.out.rfind("Swap:")), "Swap:              0           0           0\n");

    const auto half = sandbox.runShell("free -b | awk '/Mem:/ {printf \"%.0f\\n\", $2 * 0.50}'");
    EXPECT_EQ(half.out, "8000000000\n");
    const auto share = sandbox.runShell("free -b | awk '/Mem:/ {printf \"%.0f\\n\", $2 * 0.5}'");
    EXPECT_EQ(share.out, "8000000000\n");
    ASSERT_EQ(sandbox.calls("free").size(), 3u);
    EXPECT_EQ(sandbox.calls("free")[0].argv, (std::vector<std::string>{"free", "-b"}));
}

TEST(CannedPsql, RecordsArgumentsAndTheExportedPassword) {
    Sandbox sandbox;
    const std::string update =
        "UPDATE tb_olap_table SET last_snowflake_id = '42', modified_time = NOW() WHERE last_snowflake_id = '0'";
    const auto ok = sandbox.runShell("export PGPASSWORD=\"pg pass\"; psql -h 127.0.0.1 -U qoruser -d qorrdb -p 8817 -c \"" +
                                     update + "\"");
    EXPECT_EQ(ok.exitStatus, 0);
    sandbox.setEnv("QOR_PSQL_EXIT", "2");
    const auto failed = sandbox.runShell("psql -h 127.0.0.1 -U qoruser -d qorrdb -p 8817 -c \"select 1\"");
    EXPECT_EQ(failed.exitStatus, 2);
    EXPECT_NE(failed.err.find("psql: error"), std::string::npos);

    const auto calls = sandbox.calls("psql");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].argv, (std::vector<std::string>{"psql", "-h", "127.0.0.1", "-U", "qoruser", "-d", "qorrdb",
                                                       "-p", "8817", "-c", update}));
    EXPECT_EQ(calls[0].env.at("PGPASSWORD"), "pg pass");
    EXPECT_EQ(calls[1].env.count("PGPASSWORD"), 0u);
}

TEST(CannedClickHouse, AnswersWithTheFirstMatchingRuleForItsUses) {
    Sandbox sandbox;
    sandbox.answerClickHouse({
        {"MemoryTracking", "9000000000\n", 0, "", 2},
        {"MemoryTracking", "100\n"},
        {"from mig_tb_audit_log_completed", "3\t1704067200000\t1704153600000\t6592\n"},
        {"from mig_", "", 60, "Code: 60. DB::Exception: no such table\n"},
    });
    const std::string memory = clickhousePrefix + "\"select value from system.metrics where metric = 'MemoryTracking'\"";
    EXPECT_EQ(sandbox.runShell(memory).out, "9000000000\n");
    EXPECT_EQ(sandbox.runShell(memory).out, "9000000000\n");
    EXPECT_EQ(sandbox.runShell(memory).out, "100\n");

    const auto summary = sandbox.runShell(
        clickhousePrefix + "\"select count(), min(server_time), max(server_time), min(oid) from mig_tb_audit_log_completed\"");
    EXPECT_EQ(summary.out, "3\t1704067200000\t1704153600000\t6592\n");
    const auto failing = sandbox.runShell(
        clickhousePrefix + "\"select count(), min(server_time), max(server_time), min(oid) from mig_tb_backup_log_completed\"");
    EXPECT_EQ(failing.exitStatus, 60);
    EXPECT_EQ(failing.out, "");
    EXPECT_EQ(failing.err, "Code: 60. DB::Exception: no such table\n");

    const auto unmatched = sandbox.runShell(clickhousePrefix + "\"truncate table mig_tb_audit_log\"");
    EXPECT_EQ(unmatched.exitStatus, 0);
    EXPECT_EQ(unmatched.out, "");
    const auto calls = sandbox.calls("clickhouse-client");
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[5].option("--query"), "truncate table mig_tb_audit_log");
    EXPECT_EQ(calls[5].option("--password"), "chpass");
}

TEST(CannedClickHouse, RefusesWrongLoginsAndEmptyInsertsLikeTheRealClient) {
    Sandbox sandbox;
    const auto badLogin = sandbox.runShell(
        "clickhouse-client -h 127.0.0.1 --port=8820 -u chuser --password='nope' --query=\"select 1\"");
    EXPECT_EQ(badLogin.exitStatus, 4);
    EXPECT_EQ(badLogin.err.rfind("Code: 516. DB::Exception: ", 0), 0u) << badLogin.err;

    const std::string insert = clickhousePrefix + "\"SET max_partitions_per_insert_block = 500; INSERT INTO mig_tb_audit_log FORMAT LineAsString\"";
    const auto empty = sandbox.runShell("printf '' | " + insert);
    EXPECT_EQ(empty.exitStatus, 108);
    EXPECT_EQ(empty.err.rfind("Code: 108. DB::Exception: ", 0), 0u) << empty.err;

    const auto loaded = sandbox.runShell("printf '{\"a\":1}\\n{\"a\":2}\\n' | " + insert);
    EXPECT_EQ(loaded.exitStatus, 0) << loaded.err;
    const auto calls = sandbox.calls("clickhouse-client");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FALSE(calls[0].input.has_value());
    EXPECT_EQ(calls[1].input, "");
    EXPECT_EQ(calls[2].input, "{\"a\":1}\n{\"a\":2}\n");
}

TEST(CannedClickHouse, LeavesStandardInputAloneForQueries) {
    Sandbox sandbox;
    // The tool's confirmation answer must still be there after a query ran.
    const auto result = sandbox.runShell(clickhousePrefix + "\"select 1\"; read answer; echo \"$answer\"", "yes\n");
    EXPECT_EQ(result.out, "yes\n");
}

TEST(SandboxLayout, GivesTheToolItsRootConfigurationAndOnlyTheProgramsItProvides) {
    Sandbox sandbox;
    const auto env = sandbox.environment();
    EXPECT_EQ(env.at("QOROLAPMIGRATE_ROOT"), sandbox.root().string());
    for (const char* directory : {"/opt/tevrik/qor/etc/config", "/var/run/qor", "/tmp", "/tevfs/clickhouse",
                                  "/tevfs/nosql"}) {
        EXPECT_TRUE(std::filesystem::is_directory(sandbox.path(directory))) << directory;
    }
    std::ifstream rdb(sandbox.configDirectory() / "qorrdb.properties");
    std::string text((std::istreambuf_iterator<char>(rdb)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "qorrdb.host=127.0.0.1\nqorrdb.user=qoruser\nqorrdb.password=qorpass\n");

    sandbox.removeConfig(ConfigFile::olap);
    EXPECT_FALSE(std::filesystem::exists(sandbox.configDirectory() / "qorolap.properties"));

    EXPECT_EQ(sandbox.runShell("command -v mongosh").out, (sandbox.root() / "bin/mongosh").string() + "\n");
    sandbox.removeProgram("psql");
    EXPECT_EQ(sandbox.runShell("psql -c 'select 1'").exitStatus, 127);
    EXPECT_EQ(sandbox.runShell("mongo --version").exitStatus, 127);
    EXPECT_EQ(sandbox.runShell("du -sL " + sandbox.path("/tevfs/nosql").string() + " | awk '{print $1}'").exitStatus, 0);

    const auto list = sandbox.writeListFile("drop_list.txt", "[qor]\ntb_audit_log\n");
    EXPECT_EQ(list, sandbox.root() / "lists/drop_list.txt");
    EXPECT_TRUE(std::filesystem::exists(list));
}

TEST(SandboxLayout, RemovesItsRootWhenDone) {
    std::filesystem::path root;
    {
        Sandbox sandbox;
        root = sandbox.root();
        sandbox.writeCollection("tb_audit_log", {"{\"_id\":{\"$oid\":\"" + objectIdAt(1) + "\"}}"});
        EXPECT_TRUE(std::filesystem::exists(root / "mongo/tb_audit_log.jsonl"));
    }
    EXPECT_FALSE(std::filesystem::exists(root));
}

}  // namespace
}  // namespace qortest

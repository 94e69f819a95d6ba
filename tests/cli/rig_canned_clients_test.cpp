// Where the free double and the canned clickhouse-client and psql must
// behave like the real programs: the layout awk reads, the refusals, the
// standard input they leave alone, and what they record.

#include <gtest/gtest.h>

#include "rig.h"

namespace qortest {
namespace {

const std::string clickhousePrefix = "clickhouse-client -h 127.0.0.1 --port=8820 -u chuser --password='chpass' --query=";

TEST(FreeDouble, PrintsTheRealLayoutThatAwkReadsTheTotalFrom) {
    Sandbox sandbox;
    sandbox.setMemoryBytes(16'000'000'000ULL);
    EXPECT_EQ(sandbox.runShell("free -b | awk '/Mem:/ {printf \"%.0f\\n\", $2 * 0.50}'").out, "8000000000\n");
    const auto table = sandbox.runShell("free -b");
    EXPECT_EQ(table.out.substr(0, table.out.find('\n')),
              "               total        used        free      shared  buff/cache   available");
}

TEST(CannedPsql, RecordsArgumentsAndTheExportedPassword) {
    Sandbox sandbox;
    const std::string update =
        "UPDATE tb_olap_table SET last_snowflake_id = '42', modified_time = NOW() WHERE last_snowflake_id = '0'";
    EXPECT_EQ(sandbox.runShell("export PGPASSWORD=\"pg pass\"; psql -h 127.0.0.1 -U qoruser -d qorrdb -p 8817 -c \"" +
                               update + "\"")
                  .exitStatus,
              0);
    const auto calls = sandbox.calls("psql");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].argv, (std::vector<std::string>{"psql", "-h", "127.0.0.1", "-U", "qoruser", "-d", "qorrdb",
                                                       "-p", "8817", "-c", update}));
    EXPECT_EQ(calls[0].env.at("PGPASSWORD"), "pg pass");
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

    EXPECT_EQ(sandbox.runShell("printf '{\"a\":1}\\n' | " + insert).exitStatus, 0);
    const auto calls = sandbox.calls("clickhouse-client");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].input, "{\"a\":1}\n");
}

TEST(CannedClickHouse, LeavesStandardInputAloneForQueries) {
    Sandbox sandbox;
    // The tool's confirmation answer must still be there after a query ran.
    const auto result = sandbox.runShell(clickhousePrefix + "\"select 1\"; read answer; echo \"$answer\"", "yes\n");
    EXPECT_EQ(result.out, "yes\n");
}

}  // namespace
}  // namespace qortest

// The chDB stand-in of clickhouse-client: a query, a statement and a load
// round-trip through the migration schema, and the refusals of the real
// client that the tool's error paths depend on.

#include <gtest/gtest.h>

#include "rig.h"

namespace qortest {
namespace {

const std::string clickhousePrefix =
    "clickhouse-client -h 127.0.0.1 --port=8820 -u chuser --password='chpass' --query=";

std::string loadCommand(const std::string& collection, const std::string& stagingTable) {
    return "mongoexport --host 127.0.0.1:8825 --collection=" + collection +
           " --db=qornosql -u mongouser -p mongopass --authenticationDatabase qornosql --sort='{ \"_id\": -1 }' "
           " | " + clickhousePrefix + "\"SET max_partitions_per_insert_block = 500; INSERT INTO " + stagingTable +
           " FORMAT LineAsString\"";
}

class ClickHouseEngineTest : public ::testing::Test {
protected:
    Sandbox sandbox_;
    ClickHouseEngine& engine_ = sandbox_.useClickHouseEngine();
};

TEST_F(ClickHouseEngineTest, QueriesStatementsAndLoadsRoundTrip) {
    const auto rows = sandbox_.runShell(clickhousePrefix + "\"select 1; select 'a', 2 union all select 'b', 3; "
                                                           "truncate table mig_tb_audit_log\"");
    EXPECT_EQ(rows.exitStatus, 0) << rows.err;
    EXPECT_EQ(rows.out, "1\na\t2\nb\t3\n");
    EXPECT_EQ(sandbox_.runShell(clickhousePrefix + "\"select count(), min(server_time), max(server_time), min(oid) "
                                                   "from mig_tb_audit_log_completed\"")
                  .out,
              "0\t0\t0\t\n");

    const std::int64_t oldest = epochUtc("2024-03-01 00:00:00");
    const auto docs = sandbox_.generateCollection(
        "tb_j4_alert_log", {.count = 4, .oldestSeconds = oldest, .newestSeconds = oldest + 3 * 3600});
    const auto load = sandbox_.runShell(loadCommand("tb_j4_alert_log", "mig_tb_zq_alert_log"));
    EXPECT_EQ(load.exitStatus, 0) << load.err;
    EXPECT_EQ(engine_.query("select count(), min(server_time), max(server_time), min(oid) from mig_tb_zq_alert_log_completed"),
              "4\t" + std::to_string(oldest * 1000) + "\t" + std::to_string((oldest + 3 * 3600) * 1000) + "\t" +
                  documentObjectId(docs[0]) + "\n");
    EXPECT_EQ(engine_.query("select oid, document from tb_zq_alert_log order by server_time limit 1"),
              documentObjectId(docs[0]) + "\t" + docs[0] + "\n");
}

TEST_F(ClickHouseEngineTest, RefusesLikeTheRealClient) {
    const auto badLogin = sandbox_.runShell(
        "clickhouse-client -h 127.0.0.1 --port=8820 -u chuser --password='wrong' --query=\"select 1\"");
    EXPECT_EQ(badLogin.exitStatus, 4);
    EXPECT_EQ(badLogin.out, "");
    EXPECT_EQ(badLogin.err.rfind("Code: 516. DB::Exception: ", 0), 0u) << badLogin.err;

    const auto unknownTable = sandbox_.runShell(clickhousePrefix + "\"select count() from mig_tb_nothing\"");
    EXPECT_EQ(unknownTable.exitStatus, 60);
    EXPECT_EQ(unknownTable.out, "");

    sandbox_.writeCollection("tb_audit_log", {});
    const auto emptyLoad = sandbox_.runShell(loadCommand("tb_audit_log", "mig_tb_audit_log"));
    EXPECT_EQ(emptyLoad.exitStatus, 108);
    EXPECT_NE(emptyLoad.err.find("Code: 108. DB::Exception: No data to insert"), std::string::npos);

    const auto stopped = sandbox_.runShell(clickhousePrefix + "\"select 1; select nonsense(); select 2\"");
    EXPECT_EQ(stopped.exitStatus, 46);
    EXPECT_EQ(stopped.out, "1\n");
}

}  // namespace
}  // namespace qortest

// The chDB stand-in of clickhouse-client with the migration schema: the
// statements the tool sends, the load through the materialized views, and
// the refusals of the real client.

#include <gtest/gtest.h>

#include <fstream>

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

TEST_F(ClickHouseEngineTest, AnswersStatementsInTabSeparatedRows) {
    const auto result = sandbox_.runShell(clickhousePrefix + "\"select 1; select 'a', 2 union all select 'b', 3; "
                                                             "truncate table mig_tb_audit_log\"");
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "1\na\t2\nb\t3\n");

    const auto empty = sandbox_.runShell(
        clickhousePrefix + "\"select count(), min(server_time), max(server_time), min(oid) from mig_tb_audit_log_completed\"");
    EXPECT_EQ(empty.out, "0\t0\t0\t\n");
    const auto counts = sandbox_.runShell(
        clickhousePrefix + "\"select a.cnt, b.cnt from (SELECT count() as cnt FROM mig_tb_audit_log) as a, "
                           "(SELECT count() as cnt FROM mig_tb_audit_log_completed) as b \"");
    EXPECT_EQ(counts.out, "0\t0\n");
    const auto snowflake =
        sandbox_.runShell(clickhousePrefix + "\"SELECT toString(dateTime64ToSnowflakeID(now64() - INTERVAL 1 MINUTE))\"");
    EXPECT_EQ(snowflake.exitStatus, 0);
    EXPECT_GT(std::stoll(snowflake.out), 0);
    const auto memory =
        sandbox_.runShell(clickhousePrefix + "\"select value from system.metrics where metric = 'MemoryTracking'\"");
    EXPECT_GE(std::stoll(memory.out), 0);
}

TEST_F(ClickHouseEngineTest, HoldsTheObjectsOfEveryCollection) {
    std::ifstream list(rig::enginesDirectory() / "collections.txt");
    std::string line;
    std::vector<std::string> names;
    while (std::getline(list, line)) {
        if (line.rfind("tb_", 0) == 0) names.push_back(line);
    }
    ASSERT_EQ(names.size(), 52u);
    EXPECT_EQ(engine_.value("SELECT count() FROM system.tables WHERE database = currentDatabase()"),
              std::to_string(52 * 5 + 1));
    for (const std::string olapName : {"tb_zq_alert_log", "tb_gyv_device_log", "tb_base_report_data"}) {
        EXPECT_EQ(engine_.count("mig_" + olapName), 0);
        EXPECT_EQ(engine_.count("mig_" + olapName + "_completed"), 0);
        EXPECT_EQ(engine_.count(olapName), 0);
    }
    EXPECT_THROW(engine_.count("tb_j4_alert_log"), std::runtime_error);
}

TEST_F(ClickHouseEngineTest, CarriesLoadedLinesOnToTheCompletedAndTargetTables) {
    const std::int64_t oldest = epochUtc("2024-03-01 00:00:00");
    GeneratedDocuments spec;
    spec.count = 4;
    spec.oldestSeconds = oldest;
    spec.newestSeconds = oldest + 3 * 3600;
    const auto docs = sandbox_.generateCollection("tb_j4_alert_log", spec);

    const auto load = sandbox_.runShell(loadCommand("tb_j4_alert_log", "mig_tb_zq_alert_log"));
    EXPECT_EQ(load.exitStatus, 0) << load.err;
    EXPECT_EQ(engine_.count("mig_tb_zq_alert_log"), 4);
    EXPECT_EQ(engine_.query("select count(), min(server_time), max(server_time), min(oid) from mig_tb_zq_alert_log_completed"),
              "4\t" + std::to_string(oldest * 1000) + "\t" + std::to_string((oldest + 3 * 3600) * 1000) + "\t" +
                  documentObjectId(docs[0]) + "\n");
    EXPECT_EQ(engine_.query("select oid, document from tb_zq_alert_log order by server_time limit 1"),
              documentObjectId(docs[0]) + "\t" + docs[0] + "\n");

    // The staging table empties; what it carried on stays.
    sandbox_.runShell(clickhousePrefix + "\"truncate table mig_tb_zq_alert_log\"");
    EXPECT_EQ(engine_.count("mig_tb_zq_alert_log"), 0);
    EXPECT_EQ(engine_.count("tb_zq_alert_log"), 4);
}

TEST_F(ClickHouseEngineTest, DatesReportRowsByCreateTimeThenDataDateThenObjectId) {
    const std::int64_t base = epochUtc("2024-01-01 00:00:00");
    sandbox_.writeCollection(
        "tb_report_data",
        {"{\"_id\":{\"$oid\":\"" + objectIdAt(base, 1) + "\"},\"create_time\":{\"$date\":\"2024-03-01T10:00:00Z\"},"
         "\"data_date\":{\"$date\":\"2024-02-01T00:00:00Z\"}}",
         "{\"_id\":{\"$oid\":\"" + objectIdAt(base, 2) + "\"},\"data_date\":{\"$date\":\"2024-02-01T00:00:00.250Z\"}}",
         "{\"_id\":{\"$oid\":\"" + objectIdAt(base, 3) + "\"},\"n\":3}"});
    EXPECT_EQ(sandbox_.runShell(loadCommand("tb_report_data", "mig_tb_report_data")).exitStatus, 0);
    EXPECT_EQ(engine_.query("select oid, create_time from tb_report_data order by oid"),
              objectIdAt(base, 1) + "\t2024-03-01 10:00:00\n" + objectIdAt(base, 2) + "\t2024-02-01 00:00:00\n" +
                  objectIdAt(base, 3) + "\t2024-01-01 00:00:00\n");
}

TEST_F(ClickHouseEngineTest, ClearsRowsWithTheToolsDeleteStatements) {
    GeneratedDocuments spec;
    spec.count = 5;
    spec.oldestSeconds = epochUtc("2024-03-01 00:00:00");
    spec.newestSeconds = epochUtc("2024-03-05 00:00:00");
    spec.createTime = true;
    sandbox_.generateCollection("tb_audit_log", spec);
    sandbox_.generateCollection("tb_report_status", spec);
    sandbox_.runShell(loadCommand("tb_audit_log", "mig_tb_audit_log"));
    sandbox_.runShell(loadCommand("tb_report_status", "mig_tb_report_status"));

    const auto general = sandbox_.runShell(
        clickhousePrefix + "\"DELETE FROM tb_audit_log WHERE server_time/1000 <= "
                           "toUnixTimestamp(toDateTime('2024-03-03 00:00:00', 'UTC'))\"");
    EXPECT_EQ(general.exitStatus, 0) << general.err;
    EXPECT_EQ(engine_.count("tb_audit_log"), 2);
    const auto report = sandbox_.runShell(
        clickhousePrefix + "\"DELETE FROM tb_report_status WHERE toUnixTimestamp(toDateTime(create_time, 'UTC')) <= "
                           "toUnixTimestamp(toDateTime('2024-03-03 23:59:59', 'UTC'))\"");
    EXPECT_EQ(report.exitStatus, 0) << report.err;
    EXPECT_EQ(engine_.count("tb_report_status"), 2);
    sandbox_.runShell(clickhousePrefix + "\"truncate table mig_tb_report_status_completed\"");
    EXPECT_EQ(engine_.count("mig_tb_report_status_completed"), 0);
}

TEST_F(ClickHouseEngineTest, KeepsThePreprocessingRecord) {
    const std::string check =
        clickhousePrefix + "\"select count() From mig_tb_preprocess_completed where table_name = 'report_preprocess'\"";
    EXPECT_EQ(sandbox_.runShell(check).out, "0\n");
    const auto insert = sandbox_.runShell(
        clickhousePrefix + "\"insert into mig_tb_preprocess_completed values (now64(), 'report_preprocess')\"");
    EXPECT_EQ(insert.exitStatus, 0) << insert.err;
    EXPECT_EQ(insert.out, "");
    EXPECT_EQ(sandbox_.runShell(check).out, "1\n");
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
    EXPECT_EQ(unknownTable.err.rfind("Code: 60. DB::Exception: ", 0), 0u) << unknownTable.err;

    sandbox_.writeCollection("tb_audit_log", {});
    const auto emptyLoad = sandbox_.runShell(loadCommand("tb_audit_log", "mig_tb_audit_log"));
    EXPECT_EQ(emptyLoad.exitStatus, 108);
    EXPECT_NE(emptyLoad.err.find("Code: 108. DB::Exception: No data to insert"), std::string::npos);

    const auto wrongPort = sandbox_.runShell("clickhouse-client -h 127.0.0.1 -u chuser --password='chpass' --query=\"select 1\"");
    EXPECT_EQ(wrongPort.exitStatus, 210);
}

TEST_F(ClickHouseEngineTest, StopsAtTheFirstFailingStatement) {
    const auto result = sandbox_.runShell(clickhousePrefix + "\"select 1; select nonsense(); select 2\"");
    EXPECT_EQ(result.exitStatus, 46);
    EXPECT_EQ(result.out, "1\n");
}

TEST_F(ClickHouseEngineTest, FailsTheCallsItWasToldTo) {
    sandbox_.setEnv("QOR_CH_FAIL_ON_CALL", "2,3");
    const auto result = sandbox_.runShell("for i in 1 2 3 4; do " + clickhousePrefix + "\"select $i\"; echo \"status $?\"; done");
    EXPECT_EQ(result.out, "1\nstatus 0\nstatus 210\nstatus 210\n4\nstatus 0\n");
    // Every run of the tool counts from one again.
    const auto again = sandbox_.runShell(clickhousePrefix + "\"select 1\"; " + clickhousePrefix + "\"select 2\"");
    EXPECT_EQ(again.exitStatus, 210);
    EXPECT_EQ(again.out, "1\n");
}

TEST_F(ClickHouseEngineTest, RecordsCallsAndKeepsInputOnlyWhenAsked) {
    sandbox_.generateCollection("tb_audit_log", {.count = 2, .oldestSeconds = 1000, .newestSeconds = 2000});
    sandbox_.runShell(loadCommand("tb_audit_log", "mig_tb_audit_log"));
    sandbox_.setEnv("QOR_RECORD_STDIN", "1");
    sandbox_.runShell(loadCommand("tb_audit_log", "mig_tb_audit_log"));
    const auto calls = sandbox_.calls("clickhouse-client");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].option("--query"),
              "SET max_partitions_per_insert_block = 500; INSERT INTO mig_tb_audit_log FORMAT LineAsString");
    EXPECT_EQ(calls[0].option("-u"), "chuser");
    EXPECT_FALSE(calls[0].input.has_value());
    ASSERT_TRUE(calls[1].input.has_value());
    const auto stored = sandbox_.collection("tb_audit_log");
    EXPECT_EQ(*calls[1].input, (*stored)[0] + "\n" + (*stored)[1] + "\n");
    EXPECT_EQ(engine_.count("tb_audit_log"), 4);
}

// More rows than one slice that the stand-in hands the engine at a time.
TEST_F(ClickHouseEngineTest, LoadsLargeInputsWhole) {
    GeneratedDocuments spec;
    spec.count = 100000;
    spec.oldestSeconds = epochUtc("2023-01-01 00:00:00");
    spec.newestSeconds = epochUtc("2024-12-31 00:00:00");
    spec.createTime = true;
    spec.mergeSeq = MergeSeq::number;
    const auto docs = sandbox_.generateCollection("tb_report_summary_data", spec);
    const auto load = sandbox_.runShell(loadCommand("tb_report_summary_data", "mig_tb_report_summary_data"));
    EXPECT_EQ(load.exitStatus, 0) << load.err;
    EXPECT_EQ(engine_.query("select count(), uniqExact(oid), min(oid), max(oid) from mig_tb_report_summary_data_completed"),
              "100000\t100000\t" + documentObjectId(docs.front()) + "\t" + documentObjectId(docs.back()) + "\n");
    EXPECT_EQ(engine_.count("tb_report_summary_data"), 100000);
}

TEST(ClickHouseStandInAlone, LoadsTheEngineItselfWhenNoServerHoldsTheSession) {
    Sandbox sandbox;
    const auto session = sandbox.root() / "alone";
    Environment env = rig::passedThrough();
    env["PATH"] = rig::systemProgram("node").parent_path().string();
    ASSERT_EQ(runProcess({rig::systemProgram("node").string(), (rig::enginesDirectory() / "chdb-session").string(),
                          "fresh", session.string()},
                         env)
                  .exitStatus,
              0);
    sandbox.linkProgram("clickhouse-client", ClickHouseEngine::clientProgram());
    sandbox.setEnv("QOR_CH_SESSION_DIR", session.string());
    sandbox.setEnv("QOR_RECORD_STDIN", "1");
    sandbox.generateCollection("tb_audit_log", {.count = 3, .oldestSeconds = 1000, .newestSeconds = 3000});

    EXPECT_EQ(sandbox.runShell(loadCommand("tb_audit_log", "mig_tb_audit_log")).exitStatus, 0);
    const auto counted = sandbox.runShell(clickhousePrefix + "\"select count() from tb_audit_log; select count() from mig_tb_audit_log_completed\"");
    EXPECT_EQ(counted.out, "3\n3\n");
    EXPECT_EQ(sandbox.runShell("printf '' | " + clickhousePrefix + "\"INSERT INTO mig_tb_audit_log FORMAT LineAsString\"").exitStatus,
              108);
    EXPECT_EQ(sandbox.runShell(clickhousePrefix + "\"select 1; select * from mig_nothing\"").exitStatus, 60);
    EXPECT_FALSE(std::filesystem::exists(session / ".qor-server.sock"));
    ASSERT_EQ(sandbox.calls("clickhouse-client").size(), 4u);
    EXPECT_EQ(sandbox.calls("clickhouse-client")[0].input->size(), std::filesystem::file_size(sandbox.mongoDirectory() / "tb_audit_log.jsonl"));
}

TEST(ClickHouseEngineCopies, StartEmptyWhateverAnotherCopyHolds) {
    Sandbox first;
    Sandbox second;
    ClickHouseEngine& a = first.useClickHouseEngine();
    a.query("INSERT INTO mig_tb_audit_log FORMAT LineAsString", "{\"_id\":{\"$oid\":\"" + objectIdAt(5000) + "\"}}\n");
    EXPECT_EQ(a.count("tb_audit_log"), 1);
    ClickHouseEngine& b = second.useClickHouseEngine();
    EXPECT_EQ(b.count("tb_audit_log"), 0);
}

}  // namespace
}  // namespace qortest

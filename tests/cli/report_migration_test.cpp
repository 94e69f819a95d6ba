// The report pass and the Snowflake ID hand-off through the real binary:
// MongoDB doubles on one side, the chDB stand-in (or the real PostgreSQL
// server) on the other.

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>

#include "rig.h"

namespace qortest {
namespace {

using Messages = std::vector<std::string>;

const char* const reportCollections[] = {"tb_report_status", "tb_report_summary_data",
                                         "tb_report_data", "tb_base_report_data"};

std::size_t countContaining(const Messages& messages, const std::string& fragment) {
    std::size_t found = 0;
    for (const std::string& message : messages) {
        if (message.find(fragment) != std::string::npos) ++found;
    }
    return found;
}

// Report fixtures as the server keeps them: create_time on three
// collections, data_date on the base report data, merge_seq as text where
// the preprocessing has to convert it.
class ReportMigration : public ::testing::Test {
protected:
    void SetUp() override {
        const std::int64_t march = epochUtc("2024-03-01 00:00:00");
        generate("tb_report_status", 30, march, march + 3 * 86400 - 1, false, MergeSeq::none);
        generate("tb_report_summary_data", 20, march + 3600, march + 2 * 86400, false,
                 MergeSeq::text);
        generate("tb_report_data", 40, march + 10 * 3600, march + 4 * 86400 + 7, false,
                 MergeSeq::text);
        // The base report data is loaded only back to 732 days before the
        // run, so its documents are recent.
        const std::int64_t now = std::time(nullptr);
        generate("tb_base_report_data", 130, now - 10 * 86400, now - 86400, true, MergeSeq::text);
    }

    void generate(const std::string& name, std::size_t count, std::int64_t oldest,
                  std::int64_t newest, bool dataDate, MergeSeq mergeSeq) {
        sandbox.generateCollection(name, {.count = count, .oldestSeconds = oldest, .newestSeconds = newest,
                                          .createTime = !dataDate, .dataDate = dataDate, .mergeSeq = mergeSeq});
        fixtureCounts[name] = static_cast<std::int64_t>(count);
    }

    RunResult start(std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"start", "-p", "report", "-n", "50", "-w", "1"};
        args.insert(args.end(), more.begin(), more.end());
        return sandbox.run(args);
    }

    Sandbox sandbox;
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
    std::map<std::string, std::int64_t> fixtureCounts;
};

TEST_F(ReportMigration, EveryReportCollectionArrivesOnceAndASecondRunMovesNothing) {
    const RunResult first = start();
    ASSERT_EQ(first.exitStatus, 0) << first.out << first.err;
    const Messages messages = first.messages();
    for (const char* name : reportCollections) {
        SCOPED_TRACE(name);
        EXPECT_EQ(engine.count(std::string("mig_") + name + "_completed"), fixtureCounts[name]);
        EXPECT_EQ(engine.count(name), fixtureCounts[name]);
        EXPECT_EQ(engine.count(std::string("mig_") + name), 0);
        EXPECT_TRUE(first.logged("migration completed table count : " +
                                 std::to_string(fixtureCounts[name])));
    }
    // 130 ids in batches of 50.
    EXPECT_EQ(countContaining(messages, " migration completed"), 3u);
    EXPECT_EQ(countContaining(messages, "table migration failed"), 0u);
    EXPECT_TRUE(first.logged("**************** Migration End ****************"));
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/tmp/oid_list.txt")));
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/tmp/oid_temp.txt")));

    sandbox.clearCalls();
    const RunResult second = start();
    ASSERT_EQ(second.exitStatus, 0) << second.out << second.err;
    for (const char* name : reportCollections) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(second.logged(std::string(name) +
                                  " collection all migrations were processed successfull "));
        EXPECT_EQ(engine.count(name), fixtureCounts[name]);
    }
    EXPECT_TRUE(sandbox.calls("mongoexport").empty());
    EXPECT_EQ(countContaining(second.messages(), "preprocessing"), 0u);
}

TEST_F(ReportMigration, RetryClearsAndMovesAgainWithoutDuplicates) {
    ASSERT_EQ(start().exitStatus, 0);
    for (const char* name : {"tb_report_data", "tb_base_report_data"}) {
        SCOPED_TRACE(name);
        const RunResult retry = sandbox.run({"retry", "-t", name, "-n", "50", "-w", "1"});
        ASSERT_EQ(retry.exitStatus, 0) << retry.out << retry.err;
        EXPECT_EQ(countContaining(retry.messages(), std::string(name) + " table data delete ("), 1u);
        EXPECT_EQ(engine.count(std::string("mig_") + name + "_completed"), fixtureCounts[name]);
        EXPECT_EQ(engine.count(name), fixtureCounts[name]);
    }
}

TEST_F(ReportMigration, MemoryGuardWatchesEveryBatchWhenALimitIsGiven) {
    const RunResult result = start({"-t", "tb_base_report_data", "-ml", "100"});
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(countContaining(result.messages(), "ClickHouse Current Usage Memory : "), 3u);
    EXPECT_EQ(sandbox.calls("free").size(), 3u);
    EXPECT_EQ(engine.count("tb_base_report_data"), 130);
}

TEST_F(ReportMigration, PreprocessingConvertsOnceAcrossRuns) {
    const RunResult first = start({"-t", "tb_report_status"});
    ASSERT_EQ(first.exitStatus, 0) << first.out << first.err;
    EXPECT_EQ(countContaining(first.messages(), "collection type preprocessing start"), 3u);
    EXPECT_EQ(engine.value("select count() from mig_tb_preprocess_completed where table_name = "
                           "'report_preprocess'"),
              "1");
    const std::vector<std::string> converted = *sandbox.collection("tb_report_data");
    for (const std::string& line : converted) {
        EXPECT_EQ(line.find("\"merge_seq\":\""), std::string::npos) << line;
    }
    // Only the collection asked for is moved; the conversions cover all three.
    EXPECT_EQ(engine.count("tb_report_status"), 30);
    EXPECT_EQ(engine.count("tb_report_data"), 0);

    sandbox.clearCalls();
    const RunResult second = start({"-t", "tb_report_data"});
    ASSERT_EQ(second.exitStatus, 0) << second.out << second.err;
    EXPECT_EQ(countContaining(second.messages(), "preprocessing"), 0u);
    EXPECT_EQ(engine.value("select count() from mig_tb_preprocess_completed"), "1");
    EXPECT_EQ(engine.count("tb_report_data"), 40);
}

TEST_F(ReportMigration, FailedConversionIsTriedAgainByTheNextRun) {
    std::vector<std::string> summary = *sandbox.collection("tb_report_summary_data");
    const std::string good = summary.front();
    const std::size_t seq = good.find("\"merge_seq\":\"");
    ASSERT_NE(seq, std::string::npos);
    summary.front() = good.substr(0, seq) + "\"merge_seq\":\"twelve\"" +
                      good.substr(good.find('"', seq + 13) + 1);
    sandbox.writeCollection("tb_report_summary_data", summary);

    const RunResult first = start({"-t", "tb_report_status"});
    ASSERT_EQ(first.exitStatus, 0) << first.out << first.err;
    EXPECT_TRUE(first.logged("tb_report_summary_data collection type preprocessing failed"));
    EXPECT_EQ(engine.value("select count() from mig_tb_preprocess_completed"), "0");

    summary.front() = good;
    sandbox.writeCollection("tb_report_summary_data", summary);
    const RunResult second = start({"-t", "tb_report_status"});
    EXPECT_EQ(countContaining(second.messages(), "collection type preprocessing end"), 3u);
    EXPECT_EQ(countContaining(second.messages(), "preprocessing failed"), 0u);
    EXPECT_EQ(engine.value("select count() from mig_tb_preprocess_completed"), "1");
}

TEST_F(ReportMigration, DateRangeMovesExactlyTheDocumentsOfItsDays) {
    // tb_report_data holds documents from 2024-03-01 10:00 to 2024-03-05 00:00:07.
    const RunResult result = start({"-t", "tb_report_data", "-s", "2024-03-02", "-e", "2024-03-03"});
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    std::int64_t expected = 0;
    const std::int64_t from = epochUtc("2024-03-02 00:00:00");
    const std::int64_t to = epochUtc("2024-03-03 23:59:59");
    const std::vector<std::string> documents = *sandbox.collection("tb_report_data");
    for (const std::string& line : documents) {
        const std::int64_t second = objectIdSeconds(documentObjectId(line));
        if (from <= second && second <= to) ++expected;
    }
    ASSERT_GT(expected, 0);
    EXPECT_EQ(engine.count("tb_report_data"), expected);
    EXPECT_TRUE(result.logged("migration table : 2024-03-03 23:59:59  ~ 2024-03-03 00:00:00"));
    EXPECT_TRUE(result.logged("migration table : 2024-03-02 23:59:59  ~ 2024-03-02 00:00:00"));
}

TEST_F(ReportMigration, EveryDocumentOfTheLastSecondOfADayIsMoved) {
    const std::int64_t lastSecond = epochUtc("2024-03-06 23:59:59");
    sandbox.writeCollection(
        "tb_report_data",
        {"{\"_id\":{\"$oid\":\"" + objectIdAt(lastSecond, 1) +
             "\"},\"create_time\":{\"$date\":\"" + isoUtc(lastSecond) + "\"}}",
         "{\"_id\":{\"$oid\":\"" + objectIdAt(lastSecond, 2) +
             "\"},\"create_time\":{\"$date\":\"" + isoUtc(lastSecond) + "\"}}",
         "{\"_id\":{\"$oid\":\"" + smallestObjectIdAt(lastSecond - 86399) +
             "\"},\"create_time\":{\"$date\":\"" + isoUtc(lastSecond - 86399) + "\"}}"});
    const RunResult result = start({"-t", "tb_report_data"});
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(engine.count("tb_report_data"), 3);
}

TEST_F(ReportMigration, FailedLoadFailsTheRun) {
    sandbox.setEnv("QOR_MONGOEXPORT_FAIL_AFTER", "2");
    const RunResult result = start({"-t", "tb_report_data"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(result.logged("Migration finished with failures : tb_report_data"));
    EXPECT_GT(countContaining(result.messages(), "tb_report_data table migration failed (mongoexport exit 1"), 0u);
}

// The hand-off needs only a run: one that selects no collection will do.
class SnowflakeHandoff : public ::testing::Test {
protected:
    RunResult quietStart() {
        const std::string list = sandbox.writeListFile("list.txt", "[qor]\ntb_audit_log\n").string();
        return sandbox.run({"start", "-p", "no-such-product", "-w", "1", "-f", list});
    }

    static std::string loggedId(const RunResult& result) {
        const std::string success = "PostgreSQL TB_OLAP_TABLE updated successfully. Last Snowflake ID: ";
        for (const LogLine& line : result.logs()) {
            if (line.message.rfind(success, 0) == 0) return line.message.substr(success.size());
        }
        return "";
    }

    Sandbox sandbox;
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
    PostgresServer& postgres = sandbox.usePostgresServer();
};

TEST_F(SnowflakeHandoff, FirstRunFixesTheIdLaterRunsKeepIt) {
    const std::string before = engine.value("SELECT toString(dateTime64ToSnowflakeID(now64() - INTERVAL 1 MINUTE))");
    const RunResult first = quietStart();
    const std::string after = engine.value("SELECT toString(dateTime64ToSnowflakeID(now64() - INTERVAL 1 MINUTE))");
    ASSERT_EQ(first.exitStatus, 0) << first.out << first.err;
    const std::string firstId = loggedId(first);
    ASSERT_FALSE(firstId.empty()) << first.out;
    EXPECT_GE(std::stoll(firstId), std::stoll(before));
    EXPECT_LE(std::stoll(firstId), std::stoll(after));
    EXPECT_EQ(postgres.query("SELECT last_snowflake_id, modified_time > '2020-01-01' FROM tb_olap_table"),
              firstId + "|t\n");
    // The hand-off comes before the list file is read.
    const Messages messages = first.messages();
    const auto handOff = std::find(messages.begin(), messages.end(),
                                   "PostgreSQL TB_OLAP_TABLE updated successfully. Last Snowflake ID: " + firstId);
    EXPECT_LT(handOff, std::find(messages.begin(), messages.end(), "File Data"));

    const RunResult second = quietStart();
    ASSERT_EQ(second.exitStatus, 0) << second.out << second.err;
    const std::string secondId = loggedId(second);
    EXPECT_GT(std::stoll(secondId), std::stoll(firstId));
    EXPECT_EQ(postgres.query("SELECT last_snowflake_id FROM tb_olap_table"), firstId + "\n");
}

TEST_F(SnowflakeHandoff, WrongPasswordIsLoggedAndTheRunGoesOn) {
    sandbox.writeConfig(ConfigFile::rdb, {{"qorrdb.host", logins::host},
                                          {"qorrdb.user", logins::postgresUser},
                                          {"qorrdb.password", "wrong"}});
    const RunResult result = quietStart();
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_TRUE(result.logged("Failed to update TB_OLAP_TABLE in PostgreSQL. Return code: 512"));
    EXPECT_TRUE(result.logged("**************** Migration End ****************"));
    EXPECT_EQ(postgres.query("SELECT last_snowflake_id FROM tb_olap_table"), "0\n");
}

}  // namespace
}  // namespace qortest

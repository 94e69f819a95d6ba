// The general pass from the administrator's side: the real binary against
// the MongoDB doubles and a canned clickhouse-client, judged by its log
// lines, the command lines it started and what it fed the loader.

#include <gtest/gtest.h>

#include "pass_messages.h"
#include "rig.h"

namespace qortest {
namespace {

using Lines = std::vector<std::string>;

const std::string separator(67, '-');
const std::string endLine = "**************** Migration End ****************";

// Documents of the fixture: an ObjectId `_id` and a counter.
std::string document(const std::string& objectId, int n) {
    return "{\"_id\":{\"$oid\":\"" + objectId + "\"},\"n\":" + std::to_string(n) + "}";
}

// What the loader read: the documents newest first, one a line.
std::string exported(Lines documents) {
    std::sort(documents.begin(), documents.end(),
              [](const std::string& a, const std::string& b) {
                  return documentObjectId(a) > documentObjectId(b);
              });
    std::string text;
    for (const std::string& line : documents) text += line + "\n";
    return text;
}

// The --query value of every clickhouse-client call of the collection
// passes, in order: the Snowflake ID hand-off of the run is left out.
Lines migrationQueries(const Sandbox& sandbox) {
    Lines queries;
    for (const RecordedCall& call : sandbox.calls("clickhouse-client")) {
        const std::string query = call.option("--query").value_or("");
        if (query.find("SnowflakeID") == std::string::npos) queries.push_back(query);
    }
    return queries;
}

// What the loader read on standard input, one text per load.
Lines loadedInputs(const Sandbox& sandbox) {
    Lines inputs;
    for (const RecordedCall& call : sandbox.calls("clickhouse-client")) {
        if (call.option("--query").value_or("").find("INSERT INTO") != std::string::npos)
            inputs.push_back(call.input.value_or("<not kept>"));
    }
    return inputs;
}

const std::string summaryOf = "select count(), min(server_time), max(server_time), min(oid) from ";

class GeneralMigration : public ::testing::Test {
protected:
    GeneralMigration() {
        // Six documents from 2024-01-01 00:00:00 to 2024-01-05 12:00:00.
        documents = sandbox.generateCollection(
            "tb_audit_log", {.count = 6, .oldestSeconds = epochUtc("2024-01-01 00:00:00"),
                             .newestSeconds = epochUtc("2024-01-05 12:00:00")});
        oldestOid = documentObjectId(documents.front());
    }

    RunResult run(const std::string& command, const std::string& list, Lines more = {}) {
        Lines args{command, "-w", "1", "-f", sandbox.writeListFile("list.txt", list)};
        args.insert(args.end(), more.begin(), more.end());
        return sandbox.run(args);
    }

    Sandbox sandbox;
    Lines documents;
    std::string oldestOid;
};

TEST_F(GeneralMigration, NothingMigratedYetMovesTheWholeCollection) {
    sandbox.answerClickHouse({{"SELECT count() as cnt", "6\t6\n"}, {"_completed", "0\t0\t0\t\n"}});
    const RunResult result = run("start", "[qor]\ntb_audit_log\n");
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(passMessages(result),
              (Lines{"Disk Usage : N%", "migration table : tb_audit_log, range : ALL",
                     "tb_audit_log table migration start", "tb_audit_log table migration end",
                     "migration table : tb_audit_log, range :  ~  ALL",
                     "migration temp table count : 6", "migration completed table count : 6",
                     separator, endLine}));

    const std::vector<RecordedCall> exports = sandbox.calls("mongoexport");
    ASSERT_EQ(exports.size(), 1u);
    EXPECT_EQ(exports[0].argv,
              (Lines{"mongoexport", "--host", "127.0.0.1:8825", "--collection=tb_audit_log",
                     "--db=qornosql", "-u", "mongouser", "-p", "mongopass",
                     "--authenticationDatabase", "qornosql", "--sort={ \"_id\": -1 }"}));
    EXPECT_EQ(migrationQueries(sandbox),
              (Lines{summaryOf + "mig_tb_audit_log_completed",
                     "SET max_partitions_per_insert_block = 500; INSERT INTO mig_tb_audit_log "
                     "FORMAT LineAsString",
                     "select a.cnt, b.cnt from (SELECT count() as cnt FROM mig_tb_audit_log) as "
                     "a, (SELECT count() as cnt FROM mig_tb_audit_log_completed) as b ",
                     "truncate table mig_tb_audit_log"}));
    EXPECT_EQ(loadedInputs(sandbox), Lines{exported(documents)});
}

// Migrated data that reaches the oldest document, falls short of it, or
// covers the range asked for, and an empty collection: nothing is exported.
TEST_F(GeneralMigration, CollectionsThatNeedNoExportArePassedOverWithTheirReason) {
    const struct {
        std::string summaryRow;
        Lines range;
        bool empty;
        Lines expected;
    } cases[] = {
        {"6\t1704067200000\t1704456000000\t" + oldestOid + "\n", {}, false,
         {"Disk Usage : N%", "migration table : tb_audit_log, range : ALL",
          "tb_audit_log collection all migrations were processed successfully ", "", endLine}},
        {"5\t1704153600000\t1704456000000\t" + documentObjectId(documents[1]) + "\n", {}, false,
         {"Disk Usage : N%", "migration table : tb_audit_log, range : ALL",
          "[WARN] tb_audit_log collection already migrated data. (2024-01-05 12:00:00 "
          "~ 2024-01-02 00:00:00, Count : 5)",
          "[WARN] The migrated data and mongo db data are different. ", "", endLine}},
        // Migrated up to 2024-01-03 00:00:00.500: a range starting on that second is skipped.
        {"3\t1704067200000\t1704240000500\t" + oldestOid + "\n", {"-s", "2024-01-03", "-e", "2024-01-04"},
         false,
         {"Disk Usage : N%",
          "[NOTI] tb_audit_log table already migrated data. (2024-01-03 00:00:00 ~ "
          "2024-01-01 00:00:00, Count : 3)",
          "tb_audit_log table already migrated data. skip (input date : 2024-01-04 "
          "23:59:59 ~ 2024-01-03 00:00:00)",
          endLine}},
        {"0\t0\t0\t\n", {}, true,
         {"Disk Usage : N%", "tb_audit_log collection size is zero. continue", "", endLine}},
    };
    for (const auto& c : cases) {
        if (c.empty) sandbox.writeCollection("tb_audit_log", {});
        sandbox.answerClickHouse({{"_completed", c.summaryRow}});
        const RunResult result = run("start", "[qor]\ntb_audit_log\n", c.range);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(passMessages(result), c.expected);
        EXPECT_TRUE(sandbox.calls("mongoexport").empty());
    }
}

TEST_F(GeneralMigration, ARangeOneSecondLaterMovesItsDocumentsUpToTheLastSecond) {
    const std::int64_t start = epochUtc("2024-01-03 00:00:00");
    const std::int64_t end = epochUtc("2024-01-04 23:59:59");
    const Lines inside = {document(objectIdAt(start, 1), 2), document(objectIdAt(start + 3600, 1), 3),
                          document(objectIdAt(end, 7), 4)};
    Lines all = inside;
    all.push_back(document(objectIdAt(start - 1, 1), 1));
    all.push_back(document(objectIdAt(end + 1, 1), 5));
    sandbox.writeCollection("tb_audit_log", all);
    // Migrated up to 2024-01-02 23:59:59.999, one second before the range.
    sandbox.answerClickHouse(
        {{"SELECT count() as cnt", "3\t4\n"},
         {"_completed", "1\t1704239999000\t1704239999999\t" + objectIdAt(start - 1, 1) + "\n"}});
    const RunResult result =
        run("start", "[qor]\ntb_audit_log\n", {"-s", "2024-01-03", "-e", "2024-01-04"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(passMessages(result),
              (Lines{"Disk Usage : N%",
                     "[NOTI] tb_audit_log table already migrated data. (2024-01-02 23:59:59 ~ "
                     "2024-01-02 23:59:59, Count : 1)",
                     "migration table : tb_audit_log, range : 2024-01-04 23:59:59 ~ 2024-01-03 "
                     "00:00:00",
                     "tb_audit_log table migration start", "tb_audit_log table migration end",
                     "migration temp table count : 3", "migration completed table count : 4",
                     separator, endLine}));
    const std::vector<RecordedCall> exports = sandbox.calls("mongoexport");
    ASSERT_EQ(exports.size(), 1u);
    EXPECT_EQ(exports[0].option("--query"),
              "{ \"_id\": { \"$lte\": { \"$oid\": \"" + smallestObjectIdAt(end).substr(0, 8) +
                  "ffffffffffffffff\" }, \"$gte\": { \"$oid\": \"" + smallestObjectIdAt(start) +
                  "\" } } }");
    EXPECT_EQ(loadedInputs(sandbox), Lines{exported(inside)});
}

TEST_F(GeneralMigration, ARangeWithoutDocumentsIsNoFailure) {
    sandbox.answerClickHouse({{"SELECT count() as cnt", "0\t0\n"}, {"_completed", "0\t0\t0\t\n"}});
    const RunResult result =
        run("start", "[qor]\ntb_audit_log\n", {"-s", "2023-06-01", "-e", "2023-06-02"});
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_FALSE(result.logged("Migration finished with failures : tb_audit_log"));
    EXPECT_EQ(sandbox.calls("mongoexport").size(), 1u);
}

TEST_F(GeneralMigration, RetryClearsThenMigratesAgain) {
    sandbox.answerClickHouse(
        {{"SELECT count() as cnt", "6\t6\n"},
         {summaryOf, "6\t1704067200000\t1704456000000\t" + oldestOid + "\n"}});
    const RunResult result = run("retry", "[qor]\ntb_audit_log\n", {"-t", "tb_audit_log"});
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_EQ(passMessages(result),
              (Lines{"Disk Usage : N%", "migration table : tb_audit_log, range : ALL",
                     "tb_audit_log table data delete (2024-01-05 12:00:00 ~ old)",
                     "tb_audit_log table migration start", "tb_audit_log table migration end",
                     "migration table : tb_audit_log, range :  ~  ALL",
                     "migration temp table count : 6", "migration completed table count : 6",
                     separator, endLine}));
    const Lines queries = migrationQueries(sandbox);
    ASSERT_EQ(queries.size(), 6u);
    EXPECT_EQ(queries[1], "truncate table mig_tb_audit_log_completed");
    EXPECT_EQ(queries[2],
              "DELETE FROM tb_audit_log WHERE server_time/1000 <= "
              "toUnixTimestamp(toDateTime('2024-01-05 12:00:00', 'UTC'))");
    EXPECT_NE(queries[3].find("INSERT INTO mig_tb_audit_log "), std::string::npos);
}

TEST_F(GeneralMigration, RetryWhoseClearingFailsMovesNothingAndEndsWithStatusOne) {
    sandbox.answerClickHouse(
        {{summaryOf, "6\t1704067200000\t1704456000000\t" + oldestOid + "\n"},
         {"DELETE FROM", "", 60, "Code: 60. DB::Exception: Unknown table\n"}});
    const RunResult result = run("retry", "[qor]\ntb_audit_log\n", {"-t", "tb_audit_log"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(passMessages(result),
              (Lines{"Disk Usage : N%", "migration table : tb_audit_log, range : ALL",
                     "tb_audit_log table data delete (2024-01-05 12:00:00 ~ old)",
                     "tb_audit_log previous data could not be cleared, migration skipped", endLine,
                     "Migration finished with failures : tb_audit_log"}));
    EXPECT_TRUE(sandbox.calls("mongoexport").empty());
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

TEST_F(GeneralMigration, J4CollectionsKeepTheirNameInMongoDbOnly) {
    sandbox.generateCollection("tb_j4_alert_log",
                               {.count = 3, .oldestSeconds = epochUtc("2024-01-01"),
                                .newestSeconds = epochUtc("2024-01-02")});
    sandbox.answerClickHouse({{"SELECT count() as cnt", "3\t3\n"}, {"_completed", "0\t0\t0\t\n"}});
    const RunResult result = run("start", "[zq]\ntb_j4_alert_log\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(result.logged("tb_zq_alert_log table migration start"));
    EXPECT_TRUE(result.logged("migration table : tb_j4_alert_log, range : ALL"));
    const std::vector<RecordedCall> exports = sandbox.calls("mongoexport");
    ASSERT_EQ(exports.size(), 1u);
    EXPECT_EQ(exports[0].option("--collection"), "tb_j4_alert_log");
    const Lines queries = migrationQueries(sandbox);
    ASSERT_EQ(queries.size(), 4u);
    EXPECT_EQ(queries[0], summaryOf + "mig_tb_zq_alert_log_completed");
    EXPECT_NE(queries[1].find("INSERT INTO mig_tb_zq_alert_log FORMAT"), std::string::npos);
    EXPECT_EQ(queries[3], "truncate table mig_tb_zq_alert_log");
}

TEST_F(GeneralMigration, ATableFilterVisitsEveryEntryListingIt) {
    sandbox.answerClickHouse(
        {{"_completed", "6\t1704067200000\t1704456000000\t" + oldestOid + "\n"}});
    const RunResult result =
        run("start", "[qor]\ntb_audit_log\ntb_backup_log\n[misc]\ntb_service_log\ntb_audit_log\n",
            {"-t", "tb_audit_log"});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(countLogLines(result.out,
                            "tb_audit_log collection all migrations were processed successfully "),
              2u);
    for (const RecordedCall& call : sandbox.calls()) {
        EXPECT_EQ(call.joined().find("tb_backup_log"), std::string::npos) << call.joined();
        EXPECT_EQ(call.joined().find("tb_service_log"), std::string::npos) << call.joined();
    }
}

TEST_F(GeneralMigration, AFailingExportIsNamedAndTheRunGoesOn) {
    const Lines backup = sandbox.generateCollection(
        "tb_backup_log", {.count = 2, .oldestSeconds = epochUtc("2024-01-01"),
                          .newestSeconds = epochUtc("2024-01-02")});
    sandbox.setEnv("QOR_MONGOEXPORT_FAIL_AFTER", "2");
    sandbox.answerClickHouse(
        {{"SELECT count() as cnt", "2\t2\n"},
         {"mig_tb_backup_log_completed",
          "2\t1704067200000\t1704153600000\t" + documentObjectId(backup.front()) + "\n"},
         {"_completed", "0\t0\t0\t\n"}});
    const RunResult result = run("start", "[qor]\ntb_audit_log\ntb_backup_log\n");
    EXPECT_EQ(result.exitStatus, 1);
    const Lines messages = passMessages(result);
    const auto failed = std::find(messages.begin(), messages.end(),
                                  "tb_audit_log table migration failed (mongoexport exit 1, "
                                  "clickhouse-client exit 0)");
    ASSERT_NE(failed, messages.end()) << result.out;
    EXPECT_EQ(*(failed - 1), "tb_audit_log table migration end");
    EXPECT_EQ(sandbox.calls("mongoexport").size(), 1u);
    EXPECT_NE(std::find(messages.begin(), messages.end(),
                        "tb_backup_log collection all migrations were processed successfully "),
              messages.end());
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], endLine);
    EXPECT_EQ(messages.back(), "Migration finished with failures : tb_audit_log");
}

TEST_F(GeneralMigration, AFailingLoadIsNamedWithBothStatuses) {
    sandbox.answerClickHouse({{"_completed", "0\t0\t0\t\n"},
                              {"INSERT INTO", "", 4, "Code: 516. DB::Exception: bad login\n"}});
    const RunResult result = run("start", "[qor]\ntb_audit_log\n");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(result.logged(
        "tb_audit_log table migration failed (mongoexport exit 0, clickhouse-client exit 4)"))
        << result.out;
    EXPECT_EQ(result.messages().back(), "Migration finished with failures : tb_audit_log");
}

TEST_F(GeneralMigration, AListedNameThatCouldEscapeIsRefusedAndTheRunEndsWithStatusOne) {
    const std::string hostile = "tb_x';touch${IFS}owned;'";
    sandbox.answerClickHouse(
        {{"_completed", "6\t1704067200000\t1704456000000\t" + oldestOid + "\n"}});
    const RunResult result = run("start", "[qor]\n" + hostile + "\ntb_audit_log\n");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(passMessages(result),
              (Lines{hostile + " collection name is not accepted (letters, digits, '_', '.' and "
                               "'-' only), skipped",
                     "Disk Usage : N%", "migration table : tb_audit_log, range : ALL",
                     "tb_audit_log collection all migrations were processed successfully ", "",
                     endLine, "Migration finished with failures : " + hostile}));
    for (const RecordedCall& call : sandbox.calls()) {
        EXPECT_EQ(call.joined().find("tb_x"), std::string::npos) << call.joined();
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox.root() / "owned"));
}

TEST_F(GeneralMigration, AnUnreadableSummaryIsAFailure) {
    sandbox.answerClickHouse({{"_completed", "", 60, "Code: 60. DB::Exception: Unknown table\n"}});
    const RunResult result = run("start", "[qor]\ntb_audit_log\n");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(passMessages(result),
              (Lines{"Disk Usage : N%", "Split String Error", "Split String Error", endLine,
                     "Migration finished with failures : tb_audit_log"}));
    EXPECT_TRUE(sandbox.calls("mongosh").empty());
}

TEST_F(GeneralMigration, ACountThatIsNotANumberEndsTheRunThroughTheErrorHandler) {
    sandbox.answerClickHouse({{"_completed", "many\t0\t0\t\n"}});
    const RunResult result = run("start", "[qor]\ntb_audit_log\n");
    EXPECT_EQ(result.exitStatus, 1);
    const std::vector<LogLine> logs = result.logs();
    ASSERT_FALSE(logs.empty());
    EXPECT_EQ(logs.back().function, "main");
    EXPECT_EQ(logs.back().message.rfind("Error: ", 0), 0u) << logs.back().message;
    EXPECT_FALSE(result.logged(endLine));
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

}  // namespace
}  // namespace qortest

// --dry-run end to end: the real binary against the MongoDB doubles, the
// chDB stand-in and the PostgreSQL server. A rehearsal must leave all three
// exactly as they were and still decide what the real run that follows it
// decides.

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <regex>

#include "rig.h"

namespace qortest {
namespace {

using Lines = std::vector<std::string>;

const Lines generalCollections = {"tb_audit_log", "tb_j4_alert_log", "tb_backup_log"};
const Lines reportCollections = {"tb_report_data", "tb_base_report_data"};
const std::string list =
    "[qor]\ntb_audit_log\ntb_backup_log\n[zq]\ntb_j4_alert_log\n[report]\ntb_report_data\n"
    "tb_base_report_data\n";

std::string olapName(const std::string& collection) {
    std::string name = collection;
    if (const std::size_t at = name.find("j4"); at != std::string::npos) name.replace(at, 2, "zq");
    return name;
}

// What a rehearsal and a real run both decide, line by line: the shown
// writes, the row counts read after a move, the seconds taken, the disk
// figure and the run's own Snowflake ID and start time are left out or
// blanked, since only a real run changes or fixes them.
Lines decisions(const RunResult& result) {
    static const std::regex counted(R"(^(migration (temp|completed) table count : )\d+$)");
    static const std::regex summaryFigures(R"((, staging \d+)?(, completed \d+)?, \d+ s$)");
    static const std::regex snowflake(R"((Last Snowflake ID: )\d+$)");
    static const std::regex runSpan(R"(^(migration table : tb_base_report_data, range : ).*$)");
    static const std::regex diskUsage(R"(^Disk Usage : \d+%$)");
    Lines lines;
    for (const LogLine& line : result.logs()) {
        if (line.message.rfind("[DRY-RUN] ", 0) == 0) continue;
        std::string message = std::regex_replace(line.message, counted, "$1N");
        message = std::regex_replace(message, summaryFigures, "");
        message = std::regex_replace(message, snowflake, "$1N");
        message = std::regex_replace(message, runSpan, "$1<the run's span>");
        message = std::regex_replace(message, diskUsage, "Disk Usage : N%");
        lines.push_back(line.function + ": " + message);
    }
    return lines;
}

Lines shownWrites(const RunResult& result) {
    Lines shown;
    for (const std::string& message : result.messages()) {
        if (message.rfind("[DRY-RUN] ", 0) == 0) shown.push_back(message);
    }
    return shown;
}

std::size_t countContaining(const Lines& lines, const std::string& fragment) {
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(fragment) != std::string::npos;
    }));
}

class DryRun : public ::testing::Test {
protected:
    DryRun() {
        const std::int64_t january = epochUtc("2024-01-01 00:00:00");
        sandbox.generateCollection("tb_audit_log",
                                   {.count = 300, .oldestSeconds = january,
                                    .newestSeconds = january + 5 * 86400});
        sandbox.generateCollection("tb_j4_alert_log",
                                   {.count = 200, .oldestSeconds = january + 86400,
                                    .newestSeconds = january + 3 * 86400});
        sandbox.writeCollection("tb_backup_log", {});
        sandbox.generateCollection("tb_report_data",
                                   {.count = 40, .oldestSeconds = january,
                                    .newestSeconds = january + 2 * 86400 + 7, .createTime = true,
                                    .mergeSeq = MergeSeq::text});
        // The base report data is loaded only back to 732 days before the
        // run, so its documents are recent.
        const std::int64_t now = std::time(nullptr);
        sandbox.generateCollection("tb_base_report_data",
                                   {.count = 120, .oldestSeconds = now - 10 * 86400,
                                    .newestSeconds = now - 86400, .dataDate = true,
                                    .mergeSeq = MergeSeq::text});
    }

    RunResult run(Lines args) {
        args.insert(args.end(), {"-w", "1", "-n", "50", "-f", sandbox.writeListFile("list.txt", list)});
        return sandbox.run(args);
    }

    // Everything a run could write: every ClickHouse table of the listed
    // collections with a digest of its rows, the bookkeeping table, the
    // MongoDB fixture and the PostgreSQL hand-off row.
    std::map<std::string, std::string> state() const {
        std::map<std::string, std::string> seen;
        Lines all = generalCollections;
        all.insert(all.end(), reportCollections.begin(), reportCollections.end());
        for (const std::string& collection : all) {
            const std::string name = olapName(collection);
            for (const std::string& table : {name, "mig_" + name, "mig_" + name + "_completed"}) {
                seen[table] = engine.query("select count(), sum(cityHash64(*)) from " + table);
            }
            const auto documents = sandbox.collection(collection);
            std::string text;
            for (const std::string& line : documents.value_or(Lines{"<missing>"})) text += line + "\n";
            seen["mongo " + collection] = text;
        }
        seen["mig_tb_preprocess_completed"] =
            engine.query("select count(), groupArray(table_name) from mig_tb_preprocess_completed");
        seen["tb_olap_table"] =
            postgres.query("SELECT last_snowflake_id, modified_time FROM tb_olap_table");
        return seen;
    }

    Sandbox sandbox;
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
    PostgresServer& postgres = sandbox.usePostgresServer();
};

TEST_F(DryRun, AFirstRunRehearsedChangesNothingAndDecidesAsTheRealRun) {
    const auto before = state();
    const RunResult rehearsal = run({"start", "--dry-run"});
    ASSERT_EQ(rehearsal.exitStatus, 0) << rehearsal.out << rehearsal.err;
    EXPECT_EQ(state(), before);
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));

    const Lines shown = shownWrites(rehearsal);
    ASSERT_FALSE(shown.empty()) << rehearsal.out;
    for (const std::string& line : shown) {
        EXPECT_EQ(line.find(logins::mongoPassword), std::string::npos) << line;
        EXPECT_EQ(line.find(logins::clickhousePassword), std::string::npos) << line;
    }
    EXPECT_NE(std::find(shown.begin(), shown.end(),
                        "[DRY-RUN] mongoexport --host 127.0.0.1:8825 --collection=tb_audit_log "
                        "--db=qornosql -u mongouser -p *** --authenticationDatabase qornosql "
                        "--sort='{ \"_id\": -1 }'  | clickhouse-client -h 127.0.0.1 --port=8820 -u "
                        "chuser --password='***' --query=\"SET max_partitions_per_insert_block = "
                        "500; INSERT INTO mig_tb_audit_log FORMAT LineAsString\""),
              shown.end())
        << rehearsal.out;
    EXPECT_NE(std::find(shown.begin(), shown.end(),
                        "[DRY-RUN] clickhouse-client -h 127.0.0.1 --port=8820 -u chuser "
                        "--password='***' --query=\"truncate table mig_tb_zq_alert_log\""),
              shown.end());
    EXPECT_EQ(countContaining(shown, "[DRY-RUN] export PGPASSWORD=\"***\"; psql -h 127.0.0.1 -U "
                                     "qoruser -d qorrdb -p 8817 -c \"UPDATE"),
              1u);
    EXPECT_EQ(countContaining(shown, "mongosh 127.0.0.1:8825/qornosql -u mongouser -p *** --quiet "
                                     "--eval 'db.tb_report_data.updateMany("),
              1u)
        << rehearsal.out;
    EXPECT_EQ(countContaining(shown, "insert into mig_tb_preprocess_completed"), 1u);
    // 120 ObjectIds in batches of 50, read from the list the rehearsal did export.
    EXPECT_EQ(countContaining(shown, "INSERT INTO mig_tb_base_report_data FORMAT"), 3u);

    const RunResult real = run({"start"});
    ASSERT_EQ(real.exitStatus, 0) << real.out << real.err;
    EXPECT_EQ(engine.count("mig_tb_audit_log_completed"), 300);
    EXPECT_EQ(engine.count("mig_tb_base_report_data_completed"), 120);
    EXPECT_NE(postgres.query("SELECT last_snowflake_id FROM tb_olap_table"), "0\n");
    EXPECT_TRUE(shownWrites(real).empty());
    EXPECT_EQ(decisions(rehearsal), decisions(real));
}

TEST_F(DryRun, ARehearsedRetryClearsNothingAndDecidesAsTheRealRetry) {
    ASSERT_EQ(run({"start"}).exitStatus, 0);
    // Half of the alert log is lost on the ClickHouse side, so that the next
    // run finds it different from MongoDB.
    engine.query("truncate table mig_tb_zq_alert_log_completed; insert into "
                 "mig_tb_zq_alert_log_completed select server_time, oid from tb_zq_alert_log "
                 "order by oid desc limit 100");

    for (const Lines& args : {Lines{"retry", "-t", "tb_audit_log"}, Lines{"start"},
                              Lines{"start", "-s", "2024-01-02", "-e", "2024-01-02"}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const auto before = state();
        Lines dry = args;
        dry.insert(dry.begin() + 1, "--dry-run");
        const RunResult rehearsal = run(dry);
        ASSERT_EQ(rehearsal.exitStatus, 0) << rehearsal.out << rehearsal.err;
        EXPECT_EQ(state(), before);
        const RunResult real = run(args);
        ASSERT_EQ(real.exitStatus, 0) << real.out << real.err;
        EXPECT_EQ(decisions(rehearsal), decisions(real));
    }
}

}  // namespace
}  // namespace qortest

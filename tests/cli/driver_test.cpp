// The start/retry run as a whole: how it ends, whatever happens inside.

#include <gtest/gtest.h>

#include <filesystem>

#include "rig.h"

namespace qortest {
namespace {

const std::string endLine = "**************** Migration End ****************";

TEST(Driver, AnErrorInsideTheRunEndsItWithTheErrorLineAndNoPidFile) {
    Sandbox sandbox;
    sandbox.generateCollection("tb_audit_log", {.count = 3, .oldestSeconds = 1704067200,
                                                .newestSeconds = 1704153600});
    // A summary whose count is not a number cannot be acted on safely.
    sandbox.answerClickHouse({{"from mig_tb_audit_log_completed", "garbage\t1\t2\tx\n"}});
    const RunResult result = sandbox.run(
        {"start", "-w", "1", "-f", sandbox.writeListFile("list.txt", "[qor]\ntb_audit_log\n")});
    EXPECT_EQ(result.exitStatus, 1);
    const std::vector<LogLine> logs = result.logs();
    ASSERT_FALSE(logs.empty());
    EXPECT_EQ(logs.back().function, "main");
    EXPECT_EQ(logs.back().message.rfind("Error: ", 0), 0u) << logs.back().message;
    EXPECT_NE(logs.back().message.find("garbage"), std::string::npos);
    EXPECT_FALSE(result.logged(endLine));
    EXPECT_TRUE(sandbox.calls("mongoexport").empty());
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

TEST(Driver, AProductThatMatchesNothingRunsBothPassesOverNothing) {
    Sandbox sandbox;
    const RunResult result = sandbox.run({"start", "-p", "nothing", "-w", "1"});
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    ASSERT_TRUE(result.logged(endLine));
    EXPECT_TRUE(sandbox.calls("mongoexport").empty());
    EXPECT_TRUE(sandbox.calls("mongosh").empty());
    // Only the hand-off reads ClickHouse; nothing is loaded or truncated.
    for (const RecordedCall& call : sandbox.calls("clickhouse-client")) {
        EXPECT_NE(call.option("--query").value_or("").find("dateTime64ToSnowflakeID"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

}  // namespace
}  // namespace qortest

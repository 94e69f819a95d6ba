// Runs that do not end the way they began: killed in the middle of a
// migration, or started twice at the same moment. The single-instance guard
// and the already-migrated tests must bring ClickHouse back to every
// document of the fixture exactly once.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "rig.h"

namespace qortest {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t fixtureStart = 1735689600;  // 2025-01-01 00:00:00 UTC

void expectHoldsFixture(const ClickHouseEngine& engine, const std::string& collection,
                        std::size_t documents) {
    SCOPED_TRACE(collection);
    EXPECT_EQ(engine.count(collection), static_cast<std::int64_t>(documents));
    EXPECT_EQ(engine.count("mig_" + collection + "_completed"), static_cast<std::int64_t>(documents));
    EXPECT_EQ(engine.value("select uniqExact(oid) from " + collection), std::to_string(documents));
}

bool loggedStartingWith(const RunResult& result, const std::string& prefix) {
    for (const std::string& message : result.messages()) {
        if (message.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

TEST(KilledRun, StaleLockIsClearedTheHalfIsReportedAndRetryCompletes) {
    const std::string collection = "tb_audit_log";
    Sandbox sandbox;
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
    // About 9.5 MB for the first 100,000 documents: more than the stand-in
    // takes in before it commits a first part of the insert.
    const std::size_t documents =
        sandbox.generateCollection(collection, {.count = 150000, .oldestSeconds = fixtureStart,
                                                .newestSeconds = fixtureStart + 30 * 86400,
                                                .createTime = true})
            .size();
    // The exporter hands over 100,000 documents and then hangs, which holds
    // the run in the middle of its migration for as long as the test needs.
    const std::filesystem::path exporter = sandbox.writeFile(
        "exporter-that-hangs",
        "#!/bin/sh\n\"" + (rig::fakesBin() / "mongoexport").string() +
            "\" \"$@\" | { /usr/bin/head -n 100000; exec /bin/sleep 600; }\n");
    std::filesystem::permissions(exporter, std::filesystem::perms::owner_all);
    sandbox.linkProgram("mongoexport", exporter);

    const std::filesystem::path pidFile = sandbox.path("/var/run/qor/qorolapmigrate.pid");
    {
        BackgroundRun run(sandbox, {"start", "-t", collection, "-w", "1"});
        ASSERT_TRUE(run.waitForOutput(collection + " table migration start", 30s)) << run.outputSoFar();
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (engine.count("mig_" + collection + "_completed") == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(100ms);
        }
        ASSERT_GT(engine.count("mig_" + collection + "_completed"), 0) << "nothing arrived before the kill";
        run.signalGroup(SIGKILL);
        const RunResult killed = run.finish();
        EXPECT_EQ(killed.exitStatus, 128 + SIGKILL);
    }
    const std::int64_t arrived = engine.count("mig_" + collection + "_completed");
    EXPECT_LT(arrived, static_cast<std::int64_t>(documents));
    ASSERT_TRUE(std::filesystem::exists(pidFile)) << "a killed run leaves its PID file";

    sandbox.linkProgram("mongoexport", rig::fakesBin() / "mongoexport");
    const RunResult again = sandbox.run({"start", "-t", collection, "-w", "1"});
    EXPECT_EQ(again.exitStatus, 0) << again.out << again.err;
    EXPECT_EQ(again.err.find("already running"), std::string::npos) << again.err;
    EXPECT_TRUE(loggedStartingWith(again, "[WARN] " + collection + " collection already migrated data."))
        << again.out;
    EXPECT_TRUE(loggedStartingWith(again, "[WARN] The migrated data and mongo db data are different."));
    EXPECT_EQ(engine.count("mig_" + collection + "_completed"), arrived);
    EXPECT_FALSE(std::filesystem::exists(pidFile));

    const RunResult retry = sandbox.run({"retry", "-t", collection, "-w", "1"});
    EXPECT_EQ(retry.exitStatus, 0) << retry.out << retry.err;
    expectHoldsFixture(engine, collection, documents);
    EXPECT_FALSE(std::filesystem::exists(pidFile));
}

TEST(ConcurrentStart, ExactlyOneOfTwoRunsMigrates) {
    const std::string collection = "tb_audit_log";
    Sandbox sandbox;
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
    const std::size_t documents =
        sandbox.generateCollection(collection, {.count = 500, .oldestSeconds = fixtureStart,
                                                .newestSeconds = fixtureStart + 86400})
            .size();

    // The pause after the collection keeps the winner busy well after the
    // loser has looked at the lock.
    const std::vector<std::string> args = {"start", "-t", collection, "-w", "3"};
    BackgroundRun first(sandbox, args);
    BackgroundRun second(sandbox, args);
    const RunResult results[] = {first.finish(), second.finish()};

    int migrated = 0;
    int refused = 0;
    for (const RunResult& result : results) {
        if (result.exitStatus == 0) {
            ++migrated;
            EXPECT_TRUE(result.logged("**************** Migration End ****************")) << result.out;
        } else {
            ++refused;
            EXPECT_EQ(result.exitStatus, 1);
            EXPECT_EQ(result.err, "already running !!\n");
            EXPECT_FALSE(result.logged(collection + " table migration start"));
        }
    }
    EXPECT_EQ(migrated, 1);
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(sandbox.calls("mongoexport").size(), 1u);
    expectHoldsFixture(engine, collection, documents);
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

}  // namespace
}  // namespace qortest

// Faults injected into a migration against the chDB stand-in: ClickHouse
// failing on any one of its calls, the exporter dying halfway through its
// output, the ClickHouse disk filling up between two collections. Each run
// must end with the status the tool defines and a line that says what
// happened, and after recovery ClickHouse must hold every document of the
// fixture exactly once. A run killed in the middle or started twice at the
// same moment must come to the same end through the single-instance guard
// and the already-migrated tests.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include "rig.h"

namespace qortest {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t day = 86400;
constexpr std::int64_t fixtureStart = 1735689600;  // 2025-01-01 00:00:00 UTC

bool loggedStartingWith(const RunResult& result, const std::string& prefix) {
    for (const std::string& message : result.messages()) {
        if (message.rfind(prefix, 0) == 0) return true;
    }
    return false;
}

// Target and completed tables hold every document of the fixture once.
void expectHoldsFixture(const ClickHouseEngine& engine, const std::string& collection,
                        std::size_t documents) {
    SCOPED_TRACE(collection);
    EXPECT_EQ(engine.count(collection), static_cast<std::int64_t>(documents));
    EXPECT_EQ(engine.count("mig_" + collection + "_completed"), static_cast<std::int64_t>(documents));
    EXPECT_EQ(engine.value("select uniqExact(oid) from " + collection), std::to_string(documents));
}

// Puts a shell wrapper around the exporter double in its place on PATH.
void wrapExporter(Sandbox& sandbox, const std::string& name, const std::string& body) {
    const std::filesystem::path exporter = sandbox.writeFile(
        name, "#!/bin/sh\n\"" + (rig::fakesBin() / "mongoexport").string() + "\" \"$@\"" + body);
    std::filesystem::permissions(exporter, std::filesystem::perms::owner_all);
    sandbox.linkProgram("mongoexport", exporter);
}

void emptyTables(const ClickHouseEngine& engine, const std::string& collection) {
    engine.query("truncate table mig_" + collection + "; truncate table mig_" + collection +
                 "_completed; truncate table " + collection);
}

// A failed run was a failure the tool noticed and named; the recovery is
// what an operator does after reading it: "start" again, and "retry" for a
// collection the tool reports as differing from MongoDB.
void recover(Sandbox& sandbox, const std::string& collection) {
    const RunResult again = sandbox.run({"start", "-t", collection, "-w", "1"});
    ASSERT_EQ(again.exitStatus, 0) << again.out << again.err;
    if (loggedStartingWith(again, "[WARN] " + collection + " collection already migrated data.")) {
        const RunResult retry = sandbox.run({"retry", "-t", collection, "-w", "1"});
        ASSERT_EQ(retry.exitStatus, 0) << retry.out << retry.err;
    }
}

TEST(ClickHouseFault, FailingOnAnyOneCallIsNamedAndRecoveredWithoutLoss) {
    const std::string collection = "tb_audit_log";
    Sandbox sandbox;
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
    const std::size_t documents =
        sandbox.generateCollection(collection, {.count = 300, .oldestSeconds = fixtureStart,
                                                .newestSeconds = fixtureStart + 5 * day})
            .size();

    // A clean run tells how many ClickHouse calls a run makes; each of them
    // in turn is then made to fail.
    const RunResult clean = sandbox.run({"start", "-t", collection, "-w", "1"});
    ASSERT_EQ(clean.exitStatus, 0) << clean.out << clean.err;
    const std::size_t calls = sandbox.calls("clickhouse-client").size();
    ASSERT_GE(calls, 4u);
    expectHoldsFixture(engine, collection, documents);

    int failedRuns = 0;
    for (std::size_t failing = 1; failing <= calls; ++failing) {
        SCOPED_TRACE("ClickHouse call " + std::to_string(failing) + " of " + std::to_string(calls));
        emptyTables(engine, collection);
        sandbox.setEnv("QOR_CH_FAIL_ON_CALL", std::to_string(failing));
        const RunResult faulty = sandbox.run({"start", "-t", collection, "-w", "1"});
        sandbox.unsetEnv("QOR_CH_FAIL_ON_CALL");

        EXPECT_TRUE(faulty.exitStatus == 0 || faulty.exitStatus == 1) << faulty.exitStatus;
        EXPECT_NE(faulty.err.find("Code: 210"), std::string::npos) << faulty.err;
        EXPECT_TRUE(faulty.logged("**************** Migration End ****************")) << faulty.out;
        if (faulty.exitStatus == 1) {
            ++failedRuns;
            EXPECT_TRUE(faulty.logged("Migration finished with failures : " + collection))
                << faulty.out;
        } else {
            // Only a step after the data moved may fail without failing the run.
            EXPECT_FALSE(loggedStartingWith(faulty, "Migration finished with failures"));
            expectHoldsFixture(engine, collection, documents);
        }
        EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));

        recover(sandbox, collection);
        expectHoldsFixture(engine, collection, documents);
    }
    // At the least the failing load must have failed the run.
    EXPECT_GE(failedRuns, 1);
}

TEST(ExporterFault, DyingHalfwayIsNamedAndRetryCompletesTheCollection) {
    const std::string collection = "tb_backup_log";
    Sandbox sandbox;
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
    const std::size_t documents =
        sandbox.generateCollection(collection, {.count = 2000, .oldestSeconds = fixtureStart,
                                                .newestSeconds = fixtureStart + 9 * day})
            .size();

    sandbox.setEnv("QOR_MONGOEXPORT_FAIL_AFTER", "1000");
    const RunResult halfway = sandbox.run({"start", "-t", collection, "-w", "1"});
    sandbox.unsetEnv("QOR_MONGOEXPORT_FAIL_AFTER");
    EXPECT_EQ(halfway.exitStatus, 1) << halfway.out << halfway.err;
    EXPECT_TRUE(halfway.logged(collection +
                               " table migration failed (mongoexport exit 1, clickhouse-client exit 0)"))
        << halfway.out;
    EXPECT_TRUE(halfway.logged("Migration finished with failures : " + collection));
    // The newest half arrived; the next run must see that it is not all.
    EXPECT_EQ(engine.count("mig_" + collection + "_completed"), 1000);

    const RunResult again = sandbox.run({"start", "-t", collection, "-w", "1"});
    EXPECT_EQ(again.exitStatus, 0) << again.out << again.err;
    EXPECT_TRUE(loggedStartingWith(again, "[WARN] " + collection + " collection already migrated data."))
        << again.out;
    EXPECT_EQ(sandbox.calls("mongoexport").size(), 1u) << "start must not export a differing collection again";

    const RunResult retry = sandbox.run({"retry", "-t", collection, "-w", "1"});
    EXPECT_EQ(retry.exitStatus, 0) << retry.out << retry.err;
    expectHoldsFixture(engine, collection, documents);
}

// A small file system of its own under the sandbox's ClickHouse storage
// directory, so that the disk guard reads figures the test controls.
class SmallFileSystem {
public:
    explicit SmallFileSystem(std::filesystem::path directory) : directory_(std::move(directory)) {
        mounted_ = mount("qor-disk-guard", directory_.c_str(), "tmpfs", 0, "size=1m") == 0;
        if (!mounted_) reason_ = std::strerror(errno);
    }
    ~SmallFileSystem() {
        if (mounted_) umount(directory_.c_str());
    }
    bool mounted() const { return mounted_; }
    const std::string& reason() const { return reason_; }

private:
    std::filesystem::path directory_;
    bool mounted_ = false;
    std::string reason_;
};

TEST(DiskGuardFault, LimitReachedBetweenCollectionsStopsTheRunAndANewRunGoesOn) {
    Sandbox sandbox;
    const std::filesystem::path storage = sandbox.path("/tevfs/clickhouse");
    SmallFileSystem disk(storage);
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here: " << disk.reason();
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
    const std::size_t first = sandbox.generateCollection(
        "tb_audit_log", {.count = 200, .oldestSeconds = fixtureStart, .newestSeconds = fixtureStart + day}).size();
    const std::size_t second = sandbox.generateCollection(
        "tb_backup_log", {.count = 300, .oldestSeconds = fixtureStart, .newestSeconds = fixtureStart + day}).size();
    const std::string list =
        sandbox.writeListFile("two.txt", "[qor]\ntb_audit_log\ntb_backup_log\n").string();

    // The first export lands 700 KiB on the 1 MiB disk, as loaded data would.
    const std::filesystem::path filling = storage / "filled-by-the-first-load";
    wrapExporter(sandbox, "exporter-filling-the-disk",
                 "\nstatus=$?\n[ -e '" + filling.string() + "' ] || /usr/bin/head -c 716800 /dev/zero > '" +
                     filling.string() + "'\nexit $status\n");

    const RunResult stopped = sandbox.run({"start", "-f", list, "-dl", "50", "-w", "1"});
    EXPECT_EQ(stopped.exitStatus, 1) << stopped.out << stopped.err;
    EXPECT_TRUE(stopped.logged("Disk usage exceeds threshold, stopping migration")) << stopped.out;
    EXPECT_TRUE(stopped.logged("Disk Limit :50, Disk Usage : 68")) << stopped.out;
    ASSERT_EQ(sandbox.calls("mongoexport").size(), 1u);
    EXPECT_EQ(sandbox.calls("mongoexport")[0].option("--collection"), "tb_audit_log");
    expectHoldsFixture(engine, "tb_audit_log", first);
    EXPECT_EQ(engine.count("tb_backup_log"), 0);
    // The guard ends the process on the spot; the next run clears the file.
    EXPECT_TRUE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));

    std::filesystem::remove(filling);
    const RunResult resumed = sandbox.run({"start", "-f", list, "-dl", "50", "-w", "1"});
    EXPECT_EQ(resumed.exitStatus, 0) << resumed.out << resumed.err;
    EXPECT_TRUE(resumed.logged("tb_audit_log collection all migrations were processed successfully "));
    expectHoldsFixture(engine, "tb_audit_log", first);
    expectHoldsFixture(engine, "tb_backup_log", second);
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

TEST(WorkFileFault, UnwritableTmpFailsOnlyTheListLoadAndANewRunCompletesIt) {
    Sandbox sandbox;
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
    const std::size_t general = sandbox.generateCollection(
        "tb_audit_log", {.count = 200, .oldestSeconds = fixtureStart, .newestSeconds = fixtureStart + day}).size();
    // The list load only reaches back 732 days, so these documents are recent.
    const std::int64_t now = std::time(nullptr);
    const std::size_t listed = sandbox.generateCollection(
        "tb_base_report_data", {.count = 130, .oldestSeconds = now - 10 * day,
                                .newestSeconds = now - day, .dataDate = true}).size();
    const std::string list =
        sandbox.writeListFile("list.txt", "[qor]\ntb_audit_log\n[report]\ntb_base_report_data\n").string();

    // Root ignores permissions; a plain file where the directory should be
    // stops every file from being created below it, for root too.
    const std::filesystem::path tmp = sandbox.path("/tmp");
    std::filesystem::remove_all(tmp);
    sandbox.writeFile("tmp", "not a directory\n");

    const RunResult blocked = sandbox.run({"start", "-f", list, "-n", "50", "-w", "1"});
    EXPECT_EQ(blocked.exitStatus, 1) << blocked.out << blocked.err;
    EXPECT_TRUE(blocked.logged("Cannot write the work file " + sandbox.path("/tmp/oid_temp.txt").string()))
        << blocked.out;
    EXPECT_TRUE(blocked.logged("Migration finished with failures : tb_base_report_data")) << blocked.out;
    expectHoldsFixture(engine, "tb_audit_log", general);
    EXPECT_EQ(engine.count("tb_base_report_data"), 0);
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));

    std::filesystem::remove(tmp);
    std::filesystem::create_directory(tmp);
    const RunResult resumed = sandbox.run({"start", "-f", list, "-n", "50", "-w", "1"});
    EXPECT_EQ(resumed.exitStatus, 0) << resumed.out << resumed.err;
    expectHoldsFixture(engine, "tb_audit_log", general);
    expectHoldsFixture(engine, "tb_base_report_data", listed);
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/tmp/oid_list.txt")));
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
    wrapExporter(sandbox, "exporter-that-hangs", " | { /usr/bin/head -n 100000; exec /bin/sleep 600; }\n");

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

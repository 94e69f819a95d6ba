// The command line from the administrator's side: usage, refusals, repairs,
// the banner and the single-instance guard, run through the real binary.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "rig.h"
#include "scratch_directory.h"

namespace qortest {
namespace {

const std::string usageLines =
    "Please check the command you entered !!\n"
    "Usage: qorolapmigrate [start|retry|check|drop] -s <start_time> -e <end_time> -p <product> "
    "-t <table> -i <interval_hours>\n";

// A run that selects nothing, so only the front end and the driver work.
const std::vector<std::string> quietStart = {"start", "-p", "no-such-product", "-w", "1"};

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

TEST(Usage, MissingOrUnknownCommandWord) {
    Sandbox sandbox;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{"migrate"},
          std::vector<std::string>{"START"}, std::vector<std::string>{"-t", "tb_audit_log"}}) {
        const RunResult result = sandbox.run(args);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.err, usageLines);
        EXPECT_EQ(result.out, "");
    }
}

TEST(Usage, MissingConfigurationIsReportedBeforeTheUsage) {
    Sandbox sandbox;
    sandbox.removeConfig(ConfigFile::system);
    sandbox.removeConfig(ConfigFile::olap);
    const RunResult result = sandbox.run({});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.messages(),
              (std::vector<std::string>{"qor_system.cfg not exists", "qorolap.properties not exists"}));
    EXPECT_EQ(result.logs().front().function, "getDbUserInfo");
    EXPECT_EQ(result.err, usageLines);
}

TEST(Usage, HelpAndVersion) {
    Sandbox sandbox;
    for (const char* flag : {"--help", "-h"}) {
        const RunResult help = sandbox.run({flag});
        EXPECT_EQ(help.exitStatus, 0);
        EXPECT_EQ(help.out.rfind(usageLines, 0), 0u) << help.out;
        for (const char* expected : {"-dl <percent>", "(default: 90)", "(default: 50)", "start ",
                                     "retry ", "check ", "drop ", "-cp <password>", "--dry-run "}) {
            EXPECT_NE(help.out.find(expected), std::string::npos) << expected;
        }
    }
    const RunResult version = sandbox.run({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out, "qorolapmigrate 1.1.1\n");
}

TEST(DateCheck, RefusesForEveryCommandWithTheInputLine) {
    Sandbox sandbox;
    const struct {
        std::vector<std::string> args;
        std::string reason;
        std::string input;
    } cases[] = {
        {{"check", "-s", "2025-01-01"}, "Please enter both start and end times",
         "input) start time : 2025-01-01, end time : "},
        {{"drop", "-e", "2025-01-01", "-f", "drop.txt"}, "Please enter both start and end times",
         "input) start time : , end time : 2025-01-01"},
        {{"start", "-s", "2025-1-01", "-e", "2025-01-02"},
         "The time format is incorrect (\"ex) 2025-01-01\")",
         "input) start time : 2025-1-01, end time : 2025-01-02"},
        {{"retry", "-s", "2025-01-31", "-e", "2025-01-01", "-t", "tb_audit_log"},
         "The end time must be greater than or equal to th start time",
         "input) start time : 2025-01-31, end time : 2025-01-01"},
    };
    for (const auto& c : cases) {
        const RunResult result = sandbox.run(c.args);
        EXPECT_EQ(result.exitStatus, 1) << c.reason;
        EXPECT_EQ(result.messages(), (std::vector<std::string>{c.reason, c.input}));
        EXPECT_EQ(result.logs().front().function, "main");
    }
    EXPECT_TRUE(sandbox.calls().empty());
}

TEST(NumericOptions, ValuesThatAreNotNumbersStopEveryCommandBeforeAnythingRuns) {
    Sandbox sandbox;
    for (const auto& [command, option, value] :
         {std::tuple{"start", "-n", "fifty"}, std::tuple{"check", "-dl", "x"},
          std::tuple{"drop", "-w", "99999999999"}, std::tuple{"retry", "-i", "2147483648"}}) {
        const RunResult result = sandbox.run({command, option, value, "-t", "tb_audit_log"});
        EXPECT_EQ(result.exitStatus, 1) << option;
        ASSERT_EQ(result.messages().size(), 1u) << result.out;
        EXPECT_NE(result.messages()[0].find(std::string(option) + " option : " + value),
                  std::string::npos);
    }
    EXPECT_TRUE(sandbox.calls().empty());
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

TEST(Refusal, OutOfRangeDiskLimitOrARetryWithoutTableStopsBeforeAnythingRuns) {
    Sandbox sandbox;
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {with(quietStart, {"-dl", "101"}), "Please check disk usage limit (0 ~ 100)"},
        {with(quietStart, {"-dl", "-1"}), "Please check disk usage limit (0 ~ 100)"},
        {{"retry", "-p", "qor"}, "Please specify one table with the \"-t\" option"},
    };
    for (const auto& [args, message] : cases) {
        const RunResult result = sandbox.run(args);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.messages(), std::vector<std::string>{message});
    }
    EXPECT_TRUE(sandbox.calls().empty());
}

TEST(Banner, ShowsTheRepairedValuesAndNoSecrets) {
    Sandbox sandbox;
    const RunResult result = sandbox.run(
        {"start", "-p", "no-such-product", "-n", "0", "-w", "-5", "-i", "0", "-ni", "10.1.1.1",
         "-cp", "other-secret", "-f", sandbox.writeListFile("list.txt", "[qor]\ntb_audit_log\n")});
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    const std::vector<std::string> messages = result.messages();
    const std::vector<std::string> expectedStart = {
        "Adjust the number of batch count !! (50)",
        "Adjust the number of wait time !! (10)",
        "Adjust the number of interval !! (24)",
        "[Migration Info]",
        "Tool Version  : 1.1.1",
        "Start Option  : start",
        "Start Time    : ",
        "End   Time    : ",
        "Nosql IP      : 10.1.1.1",
        "QOROLAP IP    : 127.0.0.1",
        "Input Product : no-such-product",
        "Input Table   : ",
        "Interval      : 24",
        "Batch Count   : 50",
        "Wait Time     : 10",
    };
    ASSERT_GE(messages.size(), expectedStart.size() + 1);
    EXPECT_EQ(std::vector<std::string>(messages.begin(), messages.begin() + expectedStart.size()),
              expectedStart);
    const auto fileInfo = findLogLine(result.out, "File Info     : " + sandbox.root().string() +
                                                      "/lists/list.txt");
    ASSERT_TRUE(fileInfo);
    EXPECT_EQ(fileInfo->following.front(), "");
    for (const char* secret : {logins::mongoPassword, logins::clickhousePassword, "other-secret"}) {
        EXPECT_EQ(result.out.find(secret), std::string::npos) << secret;
    }
}

TEST(SingleInstance, ALiveRunIsReportedBeforeAnyOtherCheck) {
    Sandbox sandbox;
    const auto pidFile = sandbox.writeFile("var/run/qor/qorolapmigrate.pid", std::to_string(getpid()));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"retry"}, with(quietStart, {"-dl", "101"}),
          with(quietStart, {"--dry-run"})}) {
        const RunResult result = sandbox.run(args);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.err, "already running !!\n");
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(::readWholeFile(pidFile.string()), std::to_string(getpid()));
    // Inspection commands do not take the lock.
    EXPECT_EQ(sandbox.run({"drop"}).exitStatus, 0);
}

TEST(SingleInstance, StaleFileIsReplacedAndRemovedAtTheEnd) {
    Sandbox sandbox;
    const auto pidFile = sandbox.path("/var/run/qor/qorolapmigrate.pid");
    for (const char* stale : {"999999999", "not-a-pid"}) {
        sandbox.writeFile("var/run/qor/qorolapmigrate.pid", stale);
        const RunResult result = sandbox.run(quietStart);
        EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
        EXPECT_FALSE(std::filesystem::exists(pidFile));
    }
}

TEST(SingleInstance, MissingPidDirectoryFailsAfterTheBanner) {
    Sandbox sandbox;
    std::filesystem::remove_all(sandbox.path("/var/run/qor"));
    // A rehearsal takes the lock as a run does.
    for (const auto& args : {quietStart, with(quietStart, {"--dry-run"})}) {
        const RunResult result = sandbox.run(args);
        EXPECT_EQ(result.exitStatus, 1);
        const std::vector<std::string> messages = result.messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), "Failed to create PID file.");
        EXPECT_EQ(result.logs().back().function, "writePidFile");
        EXPECT_TRUE(result.logged("[Migration Info]"));
    }
}

}  // namespace
}  // namespace qortest

// Input nobody should give the tool, given anyway: configuration files that
// are there but cannot be read, absurdly long numbers, list files that are
// huge or not text at all. The tool must refuse or carry on with a clear
// line and the status the command defines, never crash.

#include <gtest/gtest.h>

#include <filesystem>

#include "rig.h"

namespace qortest {
namespace {

const std::vector<std::string> quietStart = {"start", "-p", "no-such-product", "-w", "1"};

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

// As root, permissions do not stop a read; a directory in the file's place
// opens but cannot be read, which is as unreadable as a file can get here.
void replaceByDirectory(Sandbox& sandbox, ConfigFile file) {
    const std::filesystem::path path = sandbox.configDirectory() / configFileName(file);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
}

TEST(UnreadableConfiguration, IsReportedLikeAMissingFileAndOnlyItsKeysStayEmpty) {
    const struct {
        ConfigFile file;
        std::string message;
        std::string bannerLine;
    } cases[] = {
        {ConfigFile::system, "qor_system.cfg not exists", "Nosql IP      : 127.0.0.1"},
        {ConfigFile::rdb, "qorrdb.properties not exists", "Nosql IP      : "},
        {ConfigFile::olap, "qorolap.properties not exists", "QOROLAP IP    : "},
    };
    for (const auto& c : cases) {
        Sandbox sandbox;
        replaceByDirectory(sandbox, c.file);
        const RunResult result = sandbox.run(quietStart);
        EXPECT_EQ(result.exitStatus, 0) << c.message << result.out << result.err;
        const std::vector<std::string> messages = result.messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.front(), c.message);
        EXPECT_EQ(result.logs().front().function, "getDbUserInfo");
        EXPECT_TRUE(result.logged(c.bannerLine)) << result.out;
    }
}

TEST(UnreadableConfiguration, OptionsStillSupplyTheValues) {
    Sandbox sandbox;
    replaceByDirectory(sandbox, ConfigFile::rdb);
    replaceByDirectory(sandbox, ConfigFile::olap);
    const RunResult result = sandbox.run(with(quietStart, {"-ni", "10.2.2.2", "-ci", "10.3.3.3"}));
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_TRUE(result.logged("qorrdb.properties not exists"));
    EXPECT_TRUE(result.logged("qorolap.properties not exists"));
    EXPECT_TRUE(result.logged("Nosql IP      : 10.2.2.2"));
    EXPECT_TRUE(result.logged("QOROLAP IP    : 10.3.3.3"));
}

TEST(ThirtyDigitOptions, NumbersAreRefusedBeforeAnythingRuns) {
    Sandbox sandbox;
    const std::string thirty = "123456789012345678901234567890";
    for (const char* command : {"start", "retry", "check", "drop"}) {
        for (const char* option : {"-i", "-n", "-dl", "-w", "-ml"}) {
            for (const std::string& value : {thirty, "-" + thirty, "+" + thirty + "h"}) {
                const RunResult result =
                    sandbox.run({command, option, value, "-t", "tb_audit_log", "-f", "list.txt"});
                EXPECT_EQ(result.exitStatus, 1) << command << " " << option << " " << value;
                ASSERT_EQ(result.messages().size(), 1u) << result.out;
                EXPECT_EQ(result.messages()[0],
                          "Please check the value of the " + std::string(option) +
                              " option : " + value);
                EXPECT_EQ(result.err, "");
            }
        }
    }
    EXPECT_TRUE(sandbox.calls().empty());
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

TEST(ThirtyDigitOptions, TextOptionsAreTakenAsTypedAndMatchNothing) {
    Sandbox sandbox;
    const std::string thirty = "123456789012345678901234567890";
    const RunResult dates = sandbox.run({"start", "-s", thirty, "-e", thirty});
    EXPECT_EQ(dates.exitStatus, 1);
    EXPECT_EQ(dates.messages(),
              (std::vector<std::string>{"The time format is incorrect (\"ex) 2025-01-01\")",
                                        "input) start time : " + thirty + ", end time : " + thirty}));

    const RunResult names = sandbox.run({"start", "-t", thirty, "-p", thirty, "-w", "1"});
    EXPECT_EQ(names.exitStatus, 0) << names.out << names.err;
    EXPECT_TRUE(names.logged("Input Table   : " + thirty));
    EXPECT_TRUE(sandbox.calls("mongoexport").empty());
    EXPECT_TRUE(sandbox.calls("mongosh").empty());
}

}  // namespace
}  // namespace qortest

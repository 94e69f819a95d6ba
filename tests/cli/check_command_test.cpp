// "check" from the administrator's side: the real binary sizes the listed
// collections through the mongosh double, measures the sandbox's MongoDB
// directory with du and looks at the ClickHouse directory's file system.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "inspect/check.h"
#include "rig.h"
#include "scratch_directory.h"

namespace qortest {
namespace {

const std::string hyphens(56, '-');

std::size_t occurrences(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
    return count;
}

class CheckCommand : public ::testing::Test {
protected:
    CheckCommand() {
        sandbox.writeCollection("tb_audit_log", {});
        sandbox.setStorageSize("tb_audit_log", 5242880);
        sandbox.writeCollection("tb_j4_is_log", {});
        sandbox.setStorageSize("tb_j4_is_log", 20971520);
        listFile = sandbox.writeListFile("check_list.txt",
                                         "[qor]\ntb_audit_log\ntb_backup_log\n[zq]\ntb_j4_is_log\n")
                       .string();
    }

    // What du says of the sandbox's MongoDB directory, in bytes.
    std::uint64_t nosqlBytes() {
        const RunResult du = sandbox.runShell("du -sL " + sandbox.path("/tevfs/nosql").string() +
                                              " | awk '{print $1}'");
        return std::stoull(du.out) * 1024;
    }

    Sandbox sandbox;
    std::string listFile;
};

// The layout of the report is shown in-process; here the figures come from
// the real du, the mongosh double and the sandbox's directories.
TEST_F(CheckCommand, SizesTheListedCollectionsAndGivesTheSummary) {
    sandbox.writeFile("tevfs/nosql/collection-0--1.wt", std::string(300 * 1024, 'x'));
    const RunResult result = sandbox.run({"check", "-f", listFile});

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find("tb_j4_is_log collection size check : 20.00 MB (20971520 bytes)\n"),
              std::string::npos);
    EXPECT_NE(result.out.find("MongoDB collection total size : 25.00 MB\n"), std::string::npos);
    const std::uint64_t used = nosqlBytes();
    ASSERT_GE(used, 300u * 1024);
    EXPECT_NE(result.out.find("MongoDB used size   : " + formatBytes(used) + "\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("Disk total capacity : "), std::string::npos);
    // A few hundred kilobytes of MongoDB data and 20 MB fit on any test disk.
    EXPECT_NE(result.out.find("\x1b[32mMigration is possible !!\x1b[0m\n"), std::string::npos) << result.out;

    const auto calls = sandbox.calls("mongosh");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].argv.back(), "db.getCollection(\"tb_backup_log\").stats().storageSize");
    EXPECT_EQ(calls[0].argv[1], std::string(logins::host) + ":8825/qornosql");
}

TEST_F(CheckCommand, MissingClickHouseDirectoryBelowTheRootGivesOnlyTheMongoFigures) {
    std::filesystem::remove_all(sandbox.path("/tevfs/clickhouse"));
    const RunResult result = sandbox.run({"check", "-f", listFile});

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_NE(result.err.find("Warn: " + sandbox.path("/tevfs/clickhouse").string() +
                              " directory is not searched, so only mongodb information is checked.\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(result.out.find("Migration is"), std::string::npos);
}

TEST_F(CheckCommand, MongoLoginOverridesTheConfiguredOne) {
    sandbox.writeConfig(ConfigFile::system, {{"mydb.nosql.user", "olduser"}, {"mydb.nosql.passwd", "oldpass"}});

    const RunResult configured = sandbox.run({"check", "-f", listFile});
    EXPECT_EQ(configured.exitStatus, 0);
    EXPECT_NE(configured.out.find("tb_audit_log collection size check : 0 B\n"), std::string::npos);
    EXPECT_NE(configured.out.find("MongoDB collection total size : 0.00 B\n"), std::string::npos);

    const RunResult overridden =
        sandbox.run({"check", "-f", listFile, "-nu", logins::mongoUser, "-np", logins::mongoPassword});
    EXPECT_EQ(overridden.exitStatus, 0);
    EXPECT_NE(overridden.out.find("MongoDB collection total size : 25.00 MB\n"), std::string::npos)
        << overridden.out;
}

TEST_F(CheckCommand, WithoutAListFileTheWholeCatalogueIsSized) {
    const RunResult result = sandbox.run({"check"});

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(sandbox.calls("mongosh").size(), 52u);
    EXPECT_EQ(occurrences(result.out, " collection size check : "), 104u);
    EXPECT_NE(result.out.find("MongoDB collection total size : 25.00 MB\n"), std::string::npos);
}

TEST_F(CheckCommand, ListFileThatDoesNotExistEndsWithStatusOne) {
    const std::string missing = sandbox.path("/lists/absent.txt").string();
    const RunResult result = sandbox.run({"check", "-f", missing});

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(result.logged(missing + " file is not found.")) << result.out;
    EXPECT_TRUE(sandbox.calls().empty());
    EXPECT_EQ(result.out.find("MongoDB collection size check start"), std::string::npos);
}

TEST_F(CheckCommand, DoesNotTouchThePidFileOfARunningMigration) {
    const auto pidFile = sandbox.writeFile("var/run/qor/qorolapmigrate.pid", "1");
    const RunResult result = sandbox.run({"check", "-f", listFile});

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err.find("already running"), std::string::npos);
    EXPECT_EQ(::readWholeFile(pidFile.string()), "1");
}

}  // namespace
}  // namespace qortest

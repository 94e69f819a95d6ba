// "drop" from the administrator's side: the name rule on the list file's
// path, the one confirmation read from standard input, and the collections
// the mongosh double really removes from the fixture.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "rig.h"
#include "scratch_directory.h"

namespace qortest {
namespace {

const std::string hyphens(56, '-');
const std::string prompt = "Are you sure you want to drop the collection? (yes/no) : ";

class DropCommand : public ::testing::Test {
protected:
    DropCommand() {
        for (const char* name : {"tb_j4_alert_log", "tb_j4_is_log", "tb_hux_snapshot", "tb_audit_log"}) {
            sandbox.writeCollection(name, {});
        }
        sandbox.answerClickHouse({{"select count() from mig_", "40\n"}});
    }

    bool exists(const std::string& name) const { return sandbox.collection(name).has_value(); }

    Sandbox sandbox;
    const std::string list = "[zq]\ntb_j4_alert_log\ntb_j4_is_log\n[hux]\ntb_hux_snapshot\n";
};

TEST_F(DropCommand, YesDropsTheListedCollectionsInFileOrder) {
    const auto listFile = sandbox.writeListFile("drop_list.txt", list);
    const RunResult result = sandbox.run({"drop", "-f", listFile.string()}, "yes\n");

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_FALSE(exists("tb_j4_alert_log"));
    EXPECT_FALSE(exists("tb_j4_is_log"));
    EXPECT_FALSE(exists("tb_hux_snapshot"));
    EXPECT_TRUE(exists("tb_audit_log"));

    // The frame and the progress lines are pinned in tests/unit/inspect/drop_test.cpp.
    const auto calls = sandbox.calls("mongosh");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].argv.back(), "db.tb_j4_alert_log.drop()");
    EXPECT_EQ(calls[1].argv.back(), "db.tb_j4_is_log.drop()");
    EXPECT_EQ(calls[2].argv.back(), "db.tb_hux_snapshot.drop()");
}

TEST_F(DropCommand, AnythingButYesKeepsEveryCollection) {
    const auto listFile = sandbox.writeListFile("drop_list.txt", list);
    for (const std::string answer : {"no\n", "y\n", "yes!\n", ""}) {
        SCOPED_TRACE(answer);
        const RunResult result = sandbox.run({"drop", "-f", listFile.string()}, answer);
        EXPECT_EQ(result.exitStatus, 0);
        EXPECT_EQ(result.out.substr(result.out.size() - prompt.size() - hyphens.size() - 1),
                  prompt + hyphens + "\n");
    }
    EXPECT_TRUE(sandbox.calls("mongosh").empty());
    EXPECT_TRUE(exists("tb_j4_alert_log"));
    EXPECT_TRUE(exists("tb_hux_snapshot"));
}

TEST_F(DropCommand, ANotMigratedCollectionRefusesYesAndDropsOnForce) {
    // The configured ClickHouse password is stale; the one given on the
    // command line is the one the counts must be read with.
    sandbox.writeConfig(ConfigFile::olap, {{"qorolap.host", logins::host},
                                           {"qorolap.user", logins::clickhouseUser},
                                           {"qorolap.password", "stale"}});
    sandbox.answerClickHouse({{"mig_tb_zq_is_log_completed", "0\n"},
                              {"select count() from mig_", "40\n"}});
    const auto listFile = sandbox.writeListFile("drop_list.txt", list);
    const std::vector<std::string> args = {"drop", "-f", listFile.string(), "-cp",
                                           logins::clickhousePassword};

    const RunResult yes = sandbox.run(args, "yes\n");
    EXPECT_EQ(yes.exitStatus, 0);
    EXPECT_NE(yes.out.find("[zq]\ntb_j4_alert_log  (completed rows : 40)\n"
                           "tb_j4_is_log  (completed rows : 0) [NOT MIGRATED]\n\n"),
              std::string::npos)
        << yes.out;
    EXPECT_NE(yes.out.find("Type force to drop them anyway (force/no) : Nothing dropped"),
              std::string::npos);
    EXPECT_TRUE(sandbox.calls("mongosh").empty());
    EXPECT_TRUE(exists("tb_j4_is_log"));

    const RunResult force = sandbox.run(args, "force\n");
    EXPECT_EQ(force.exitStatus, 0);
    EXPECT_FALSE(exists("tb_j4_alert_log"));
    EXPECT_FALSE(exists("tb_j4_is_log"));
    EXPECT_FALSE(exists("tb_hux_snapshot"));
    EXPECT_EQ(sandbox.calls("mongosh").size(), 3u);
    for (const RecordedCall& call : sandbox.calls("clickhouse-client")) {
        EXPECT_EQ(call.option("--password"), logins::clickhousePassword);
    }

    // With a login ClickHouse refuses, nothing can be confirmed as migrated.
    sandbox.writeCollection("tb_audit_log", {});
    const RunResult refused = sandbox.run(
        {"drop", "-f", sandbox.writeListFile("drop_more.txt", "[qor]\ntb_audit_log\n").string()},
        "yes\n");
    EXPECT_NE(refused.out.find("tb_audit_log  (completed rows : unreadable) [NOT MIGRATED]"),
              std::string::npos)
        << refused.out;
    EXPECT_TRUE(exists("tb_audit_log"));
}

TEST_F(DropCommand, TheWholePathMustContainDrop) {
    const auto inDropDirectory = sandbox.writeFile("dropzone/list.txt", "[qor]\ntb_audit_log\n");
    const RunResult accepted = sandbox.run({"drop", "-f", inDropDirectory.string()}, "YES please\n");
    EXPECT_EQ(accepted.exitStatus, 0);
    EXPECT_FALSE(exists("tb_audit_log"));

    const auto plainName = sandbox.writeListFile("list.txt", list);
    ASSERT_EQ(plainName.string().find("drop"), std::string::npos);
    sandbox.clearCalls();
    const RunResult refused = sandbox.run({"drop", "-f", plainName.string()}, "yes\n");
    EXPECT_EQ(refused.exitStatus, 0);
    EXPECT_EQ(refused.messages(), std::vector<std::string>{
                                      "Please check the file name \"drop\" is not included  ex) drop_list.txt"});
    EXPECT_EQ(refused.logs().front().function, "main");
    EXPECT_TRUE(sandbox.calls().empty());
    EXPECT_TRUE(exists("tb_j4_alert_log"));
}

TEST_F(DropCommand, WithoutAUsableListFileNothingIsAskedOrDropped) {
    const RunResult none = sandbox.run({"drop"}, "yes\n");
    EXPECT_EQ(none.exitStatus, 0);
    EXPECT_EQ(none.messages(), std::vector<std::string>{"Please specify the file with the \"-f\" option"});
    EXPECT_EQ(none.out.find(prompt), std::string::npos);

    const std::string missing = sandbox.path("/lists/drop_absent.txt").string();
    const RunResult absent = sandbox.run({"drop", "-f", missing}, "yes\n");
    EXPECT_EQ(absent.exitStatus, 1);
    EXPECT_TRUE(absent.logged(missing + " file is not found."));
    EXPECT_TRUE(sandbox.calls().empty());
}

TEST_F(DropCommand, NameThatWouldRunMoreThanADropIsRefused) {
    const std::string marker = sandbox.path("/tmp/escaped").string();
    const std::string hostile = "tb_j4_is_log';touch${IFS}" + marker + ";'";
    const auto listFile =
        sandbox.writeListFile("drop_list.txt", "[zq]\ntb_j4_alert_log\n" + hostile + "\ntb_hux_snapshot\n");
    // A name that is never asked about counts as not migrated.
    const RunResult result = sandbox.run({"drop", "-f", listFile.string()}, "force\n");

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_TRUE(exists("tb_j4_is_log"));
    EXPECT_FALSE(exists("tb_j4_alert_log"));
    EXPECT_FALSE(exists("tb_hux_snapshot"));
    EXPECT_EQ(sandbox.calls("mongosh").size(), 2u);
    bool named = false;
    for (const std::string& message : result.messages()) {
        named = named || message.find(hostile) != std::string::npos;
    }
    EXPECT_TRUE(named) << result.out;
}

}  // namespace
}  // namespace qortest

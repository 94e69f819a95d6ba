// The list file of -f as an administrator writes it, through the real binary:
// which collections a run then visits.

#include <gtest/gtest.h>

#include "pass_messages.h"
#include "rig.h"

namespace qortest {
namespace {

using Lines = std::vector<std::string>;

const std::string endLine = "**************** Migration End ****************";

// Collections the general pass looked at, in order: none of them holds a
// document, so each visit is the summary query and the "size is zero" line.
Lines visited(const RunResult& result) {
    Lines names;
    const std::string suffix = " collection size is zero. continue";
    for (const LogLine& line : result.logs()) {
        if (line.message.size() > suffix.size() &&
            line.message.compare(line.message.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(line.message.substr(0, line.message.size() - suffix.size()));
    }
    return names;
}

RunResult startWithList(Sandbox& sandbox, const std::string& text) {
    sandbox.answerClickHouse({{"_completed", "0\t0\t0\t\n"}});
    return sandbox.run({"start", "-w", "1", "-f", sandbox.writeListFile("list.txt", text)});
}

TEST(ListFile, CommentsBlanksAndEmptyHeadersAsAnAdministratorWritesThem) {
    Sandbox sandbox;
    const RunResult result = startWithList(sandbox,
                                           "# collections to move first\n"
                                           "tb_before_any_header\n"
                                           "[ qor ]\n"
                                           " tb_audit _log \n"
                                           "#tb_backup_log\n"
                                           "\n"
                                           "#[zq]\n"
                                           "\ttb_service_log\t\n"
                                           "[hux]\n"
                                           "[]\n"
                                           "tb_after_an_empty_header\n"
                                           "[zq]\n"
                                           "tb_j4_alert_log");
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    EXPECT_EQ(visited(result), (Lines{"tb_audit_log", "tb_service_log", "tb_j4_alert_log"}));
}

TEST(ListFile, CarriageReturnLineEndsWork) {
    Sandbox sandbox;
    const RunResult result =
        startWithList(sandbox, "[qor]\r\ntb_audit_log\r\n# note\r\n[zq]\r\ntb_j4_alert_log\r\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(visited(result), (Lines{"tb_audit_log", "tb_j4_alert_log"}));
    // A carriage return kept in a name would reach the command lines.
    for (const RecordedCall& call : sandbox.calls()) {
        EXPECT_EQ(call.joined().find('\r'), std::string::npos) << call.joined();
    }
}

TEST(ListFile, HeadersWithoutEntriesSelectNothing) {
    Sandbox sandbox;
    const RunResult result = startWithList(sandbox, "[qor]\n[zq]\n# nothing yet\n");
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(passMessages(result), Lines{endLine});
    EXPECT_TRUE(sandbox.calls("mongosh").empty());
}

TEST(ListFile, AMissingFileEndsTheRunWithStatusOne) {
    Sandbox sandbox;
    const std::string missing = (sandbox.root() / "lists" / "absent.txt").string();
    const RunResult result = sandbox.run({"start", "-w", "1", "-f", missing});
    EXPECT_EQ(result.exitStatus, 1);
    const std::vector<LogLine> logs = result.logs();
    ASSERT_FALSE(logs.empty());
    EXPECT_EQ(logs.back().function, "setMigrationList");
    EXPECT_EQ(logs.back().message, missing + " file is not found.");
    EXPECT_TRUE(sandbox.calls("mongosh").empty());
}

}  // namespace
}  // namespace qortest

// The closing summary from the operator's side: one line per visited
// collection with what happened to it, then the totals, all before the end
// line, for start, retry and date-range runs against the doubles.

#include <gtest/gtest.h>

#include <regex>

#include "rig.h"

namespace qortest {
namespace {

using Lines = std::vector<std::string>;

const std::string endLine = "**************** Migration End ****************";
const std::string summaryOf = "select count(), min(server_time), max(server_time), min(oid) from ";

// The driver's messages from the first summary line on, with the seconds
// of each collection line as "N s": they depend on the machine.
Lines closingMessages(const RunResult& result) {
    static const std::regex seconds(R"(, \d+ s$)");
    Lines closing;
    bool inSummary = false;
    for (const LogLine& line : result.logs()) {
        inSummary = inSummary || (line.function == "main" && line.message.rfind("Summary", 0) == 0);
        if (inSummary) closing.push_back(std::regex_replace(line.message, seconds, ", N s"));
    }
    return closing;
}

class RunSummary : public ::testing::Test {
protected:
    RunSummary() {
        for (const char* name : {"tb_moved", "tb_done", "tb_partial", "tb_unread"}) {
            oldest[name] = documentObjectId(
                sandbox
                    .generateCollection(name, {.count = 4,
                                               .oldestSeconds = epochUtc("2024-01-01 00:00:00"),
                                               .newestSeconds = epochUtc("2024-01-02 00:00:00")})
                    .front());
        }
        sandbox.writeCollection("tb_nothing", {});
    }

    RunResult run(Lines args) {
        args.insert(args.end(), {"-w", "1", "-f", sandbox.writeListFile("list.txt", list)});
        return sandbox.run(args);
    }

    Sandbox sandbox;
    std::map<std::string, std::string> oldest;
    const std::string list =
        "[qor]\ntb_moved\ntb_done\ntb_partial\ntb_nothing\ntb_unread\ntb_odd$name\n";
};

TEST_F(RunSummary, EveryOutcomeOfARunIsSummedUpBeforeTheEndLine) {
    sandbox.answerClickHouse({{"SELECT count() as cnt FROM mig_tb_moved)", "0\t4\n"},
                              {summaryOf + "mig_tb_moved_", "0\t0\t0\t\n"},
                              {summaryOf + "mig_tb_done_",
                               "4\t1704067200000\t1704153600000\t" + oldest["tb_done"] + "\n"},
                              {summaryOf + "mig_tb_partial_",
                               "2\t1704110400000\t1704153600000\t65960b00aaaaaaaaaaaaaaaa\n"},
                              {summaryOf + "mig_tb_nothing_", "0\t0\t0\t\n"},
                              {summaryOf + "mig_tb_unread_", "", 60, "Code: 60.\n"}});
    const RunResult start = run({"start"});
    EXPECT_EQ(start.exitStatus, 1);
    EXPECT_EQ(closingMessages(start),
              (Lines{"Summary : tb_moved : migrated, staging 0, completed 4, N s",
                     "Summary : tb_done : complete, N s",
                     "Summary : tb_partial : differs from MongoDB, N s",
                     "Summary : tb_nothing : empty, N s", "Summary : tb_unread : failed, N s",
                     "Summary : tb_odd$name : refused name, N s",
                     "Summary total : 6 collections, 1 migrated, 1 complete, 1 differs from "
                     "MongoDB, 1 empty, 1 failed, 1 refused name",
                     endLine, "Migration finished with failures : tb_unread, tb_odd$name"}))
        << start.out;
}

TEST_F(RunSummary, RetryAndDateRangeOutcomesAreNamedToo) {
    sandbox.answerClickHouse({{"SELECT count() as cnt", "0\t4\n"},
                              {summaryOf, "4\t1704067200000\t1704153600000\t" +
                                              oldest["tb_done"] + "\n"}});
    const RunResult retry = run({"retry", "-t", "tb_done"});
    EXPECT_EQ(retry.exitStatus, 0) << retry.out;
    EXPECT_EQ(closingMessages(retry),
              (Lines{"Summary : tb_done : migrated after clearing, staging 0, completed 4, N s",
                     "Summary total : 1 collection, 1 migrated after clearing", endLine}));

    const RunResult range = run({"start", "-t", "tb_done", "-s", "2024-01-01", "-e", "2024-01-01"});
    EXPECT_EQ(range.exitStatus, 0);
    EXPECT_EQ(closingMessages(range),
              (Lines{"Summary : tb_done : skipped for overlap, N s",
                     "Summary total : 1 collection, 1 skipped for overlap", endLine}));

    const RunResult nothing = run({"start", "-t", "tb_absent_everywhere"});
    EXPECT_EQ(closingMessages(nothing), (Lines{"Summary total : 0 collections", endLine}));
}

}  // namespace
}  // namespace qortest

// The general pass end to end: the real binary, the MongoDB doubles and the
// chDB stand-in with the server's schema, judged by what ClickHouse holds.

#include <gtest/gtest.h>

#include "pass_messages.h"
#include "rig.h"

namespace qortest {
namespace {

using Lines = std::vector<std::string>;

const std::string list = "[qor]\ntb_audit_log\n[zq]\ntb_j4_alert_log\n";

class GeneralEndToEnd : public ::testing::Test {
protected:
    RunResult run(Lines args) {
        args.insert(args.end(), {"-w", "1", "-f", sandbox.writeListFile("list.txt", list)});
        return sandbox.run(args);
    }
    // Rows of a target table and of its completed table, which must agree.
    std::int64_t migrated(const std::string& olapName) {
        const std::int64_t target = engine.count(olapName);
        EXPECT_EQ(engine.count("mig_" + olapName + "_completed"), target) << olapName;
        EXPECT_EQ(engine.count("mig_" + olapName), 0) << "staging table of " << olapName;
        return target;
    }

    Sandbox sandbox;
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
};

TEST_F(GeneralEndToEnd, StartMovesEverythingOnceAndRetryRebuildsWithoutDuplicates) {
    const Lines audit = sandbox.generateCollection(
        "tb_audit_log", {.count = 3000, .oldestSeconds = epochUtc("2024-01-01 00:00:00"),
                         .newestSeconds = epochUtc("2024-01-06 12:00:00")});
    sandbox.generateCollection("tb_j4_alert_log",
                               {.count = 2500, .oldestSeconds = epochUtc("2024-01-02 08:00:00"),
                                .newestSeconds = epochUtc("2024-01-05 20:00:00")});

    const RunResult first = run({"start"});
    ASSERT_EQ(first.exitStatus, 0) << first.out << first.err;
    EXPECT_EQ(migrated("tb_audit_log"), 3000);
    EXPECT_EQ(migrated("tb_zq_alert_log"), 2500);
    EXPECT_EQ(engine.value("select count(distinct oid) from tb_audit_log"), "3000");
    EXPECT_EQ(engine.value("select min(oid) from mig_tb_audit_log_completed"),
              documentObjectId(audit.front()));
    EXPECT_TRUE(first.logged("migration completed table count : 3000"));
    EXPECT_TRUE(first.logged("migration completed table count : 2500"));

    sandbox.clearCalls();
    const RunResult second = run({"start"});
    EXPECT_EQ(second.exitStatus, 0);
    EXPECT_EQ(passMessages(second),
              (Lines{"Disk Usage : N%", "migration table : tb_audit_log, range : ALL",
                     "tb_audit_log collection all migrations were processed successfully ", "",
                     "Disk Usage : N%", "migration table : tb_j4_alert_log, range : ALL",
                     "tb_j4_alert_log collection all migrations were processed successfully ", "",
                     "**************** Migration End ****************"}));
    EXPECT_TRUE(sandbox.calls("mongoexport").empty());
    EXPECT_EQ(migrated("tb_audit_log"), 3000);

    const RunResult retry = run({"retry", "-t", "tb_audit_log"});
    EXPECT_EQ(retry.exitStatus, 0) << retry.out << retry.err;
    EXPECT_TRUE(retry.logged("tb_audit_log table data delete (2024-01-06 12:00:00 ~ old)"));
    EXPECT_EQ(migrated("tb_audit_log"), 3000);
    EXPECT_EQ(engine.value("select count(distinct oid) from tb_audit_log"), "3000");
    EXPECT_EQ(migrated("tb_zq_alert_log"), 2500);
}

TEST_F(GeneralEndToEnd, DateRangesMoveExactlyTheirDocumentsUpToTheLastSecond) {
    const std::int64_t rangeStart = epochUtc("2024-01-03 00:00:00");
    const std::int64_t rangeEnd = epochUtc("2024-01-04 23:59:59");
    const std::int64_t nextDayEnd = epochUtc("2024-01-05 23:59:59");
    Lines documents = generateDocuments({.count = 2000,
                                         .oldestSeconds = epochUtc("2024-01-01 00:00:00"),
                                         .newestSeconds = epochUtc("2024-01-07 00:00:00")});
    // Documents on both edges of the range, the last one late in its final second.
    const std::string lastSecond = objectIdAt(rangeEnd, 0xffffff);
    for (const std::string& oid : {objectIdAt(rangeStart - 1, 0xfffff0), objectIdAt(rangeStart, 1),
                                   lastSecond, objectIdAt(rangeEnd + 1, 1)}) {
        documents.push_back("{\"_id\":{\"$oid\":\"" + oid + "\"},\"edge\":true}");
    }
    sandbox.writeCollection("tb_audit_log", documents);
    const auto inside = [&documents](std::int64_t from, std::int64_t to) {
        return std::count_if(documents.begin(), documents.end(), [&](const std::string& line) {
            const std::int64_t seconds = objectIdSeconds(documentObjectId(line));
            return from <= seconds && seconds <= to;
        });
    };

    const RunResult range = run({"start", "-t", "tb_audit_log", "-s", "2024-01-03", "-e", "2024-01-04"});
    ASSERT_EQ(range.exitStatus, 0) << range.out << range.err;
    EXPECT_EQ(migrated("tb_audit_log"), inside(rangeStart, rangeEnd));
    EXPECT_EQ(engine.value("select count() from tb_audit_log where oid = '" + lastSecond + "'"),
              "1");

    // The next day begins one second after the migrated span: it is moved,
    // and the two ranges meet without a gap or a duplicate.
    const RunResult next = run({"start", "-t", "tb_audit_log", "-s", "2024-01-05", "-e", "2024-01-05"});
    ASSERT_EQ(next.exitStatus, 0) << next.out;
    EXPECT_EQ(migrated("tb_audit_log"), inside(rangeStart, nextDayEnd));
    EXPECT_EQ(engine.value("select count(distinct oid) from tb_audit_log"),
              std::to_string(inside(rangeStart, nextDayEnd)));

    const RunResult overlapping =
        run({"start", "-t", "tb_audit_log", "-s", "2024-01-01", "-e", "2024-01-03"});
    EXPECT_EQ(overlapping.exitStatus, 0);
    EXPECT_TRUE(overlapping.logged(
        "tb_audit_log table already migrated data. skip (input date : 2024-01-03 23:59:59 ~ "
        "2024-01-01 00:00:00)"))
        << overlapping.out;
    EXPECT_EQ(migrated("tb_audit_log"), inside(rangeStart, nextDayEnd));
}

}  // namespace
}  // namespace qortest

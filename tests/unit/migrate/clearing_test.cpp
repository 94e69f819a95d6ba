#include <gtest/gtest.h>

#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

namespace {
using Lines = std::vector<std::string>;

const std::string clickhouse =
    "clickhouse-client -h ch.test --port=8820 -u cuser --password='cpass' --query=";

TEST(DeleteOriginalTable, EmptiesTheCompletedTableAndDeletesUpToTheNewestDocument) {
    FakeHost fake;
    fake.answer("mongosh", "ISODate('2024-03-05T10:20:30.456Z')\n");
    const auto migrator = makeTestMigrator(fake);
    StdoutCapture out;
    EXPECT_TRUE(migrator->deleteOriginalTable("tb_j4_status", "general"));
    EXPECT_EQ(out.lines(), (std::vector<LoggedLine>{
                               {"deleteOriginalTable",
                                "tb_j4_status table data delete (2024-03-05 10:20:30 ~ old)"}}));
    ASSERT_EQ(fake.commands().size(), 3u);
    EXPECT_NE(fake.commands()[0].find("db.tb_j4_status.find().sort({ _id: -1 })"),
              std::string::npos);
    EXPECT_EQ(fake.commands()[1], clickhouse + "\"truncate table mig_tb_zq_status_completed\"");
    EXPECT_EQ(fake.commands()[2],
              clickhouse + "\"DELETE FROM tb_zq_status WHERE server_time/1000 <= "
                           "toUnixTimestamp(toDateTime('2024-03-05 10:20:30', 'UTC'))\"");
}

TEST(DeleteOriginalTable, AnEmptyCollectionLeavesClickHouseAlone) {
    FakeHost fake;
    const auto migrator = makeTestMigrator(fake);
    StdoutCapture out;
    EXPECT_TRUE(migrator->deleteOriginalTable("tb_audit_log", "general"));
    EXPECT_EQ(out.messages(),
              Lines{"tb_audit_log collection size is zero, so there is no data to delete"});
    EXPECT_TRUE(fake.commandsContaining("clickhouse-client").empty());
}

TEST(DeleteOriginalTable, AFailedStatementIsReported) {
    // Deleting without the completed table emptied would leave the two
    // tables telling different stories; a failed delete comes after it.
    for (const auto& [failing, code, truncates, deletes] :
         {std::tuple{"truncate table", 60, 1u, 0u}, std::tuple{"DELETE FROM", 4, 1u, 1u}}) {
        FakeHost fake;
        fake.answer("mongosh", "ISODate('2024-03-05T10:20:30.000Z')\n");
        fake.answer(failing, "", code);
        const auto migrator = makeTestMigrator(fake);
        StdoutCapture out;
        EXPECT_FALSE(migrator->deleteOriginalTable("tb_audit_log", "general")) << failing;
        EXPECT_EQ(fake.commandsContaining("truncate table mig_tb_audit_log_completed").size(), truncates);
        EXPECT_EQ(fake.commandsContaining("DELETE").size(), deletes);
    }
}
}  // namespace

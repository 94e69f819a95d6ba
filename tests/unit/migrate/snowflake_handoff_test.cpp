#include <gtest/gtest.h>

#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

namespace {
using Lines = std::vector<std::string>;

const std::string snowflakeQuery =
    "--query=\"SELECT toString(dateTime64ToSnowflakeID(now64() - INTERVAL 1 MINUTE))\"";

std::string updateWith(const std::string& id) {
    return "export PGPASSWORD=\"pgpass\"; psql -h pg.test -U pguser -d qorrdb -p 8817 -c "
           "\"UPDATE tb_olap_table SET last_snowflake_id = '" + id +
           "', modified_time = NOW() WHERE last_snowflake_id = '0'\"";
}

class SnowflakeHandoff : public ::testing::Test {
protected:
    std::vector<LoggedLine> handOff() {
        StdoutCapture out;
        migrator->setLastsnowflakeId("pg.test", "pguser", "pgpass");
        return out.lines();
    }

    FakeHost fake;
    std::unique_ptr<OlapMigrator> migrator = makeTestMigrator(fake);
};

TEST_F(SnowflakeHandoff, WritesTheIdOfOneMinuteAgoOnlyOverZero) {
    fake.answer(snowflakeQuery, "7301581516800000000\n");
    EXPECT_EQ(handOff(), (std::vector<LoggedLine>{
                             {"setLastsnowflakeId",
                              "PostgreSQL TB_OLAP_TABLE updated successfully. Last Snowflake ID: "
                              "7301581516800000000"}}));
    ASSERT_EQ(fake.commands().size(), 2u);
    EXPECT_NE(fake.commands()[0].find(snowflakeQuery), std::string::npos);
    EXPECT_EQ(fake.commands()[1], updateWith("7301581516800000000"));
}

TEST_F(SnowflakeHandoff, FailedUpdateLogsTheRawWaitStatus) {
    fake.answer(snowflakeQuery, "7301581516800000000\n");
    fake.answer("psql -h", "", 2);
    EXPECT_EQ(handOff(), (std::vector<LoggedLine>{
                             {"setLastsnowflakeId",
                              "Failed to update TB_OLAP_TABLE in PostgreSQL. Return code: 512"}}));
}

TEST_F(SnowflakeHandoff, NoIdFromClickHouseWritesZeroOverZero) {
    EXPECT_EQ(handOff(), (std::vector<LoggedLine>{
                             {"getClickHouseQueryResult", "Split String Error"},
                             {"getLastSnowflakeId", "Split String Error"},
                             {"setLastsnowflakeId",
                              "PostgreSQL TB_OLAP_TABLE updated successfully. Last Snowflake ID: 0"}}));
    EXPECT_EQ(fake.commands().back(), updateWith("0"));
}
}  // namespace

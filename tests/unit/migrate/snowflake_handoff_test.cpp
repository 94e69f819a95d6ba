#include <gtest/gtest.h>

#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

namespace {
using Lines = std::vector<std::string>;

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

// The update and its failure line against the real PostgreSQL server show in
// tests/cli/report_migration_test.cpp; what is left is the empty reply.
TEST_F(SnowflakeHandoff, NoIdFromClickHouseWritesZeroOverZero) {
    EXPECT_EQ(handOff(), (std::vector<LoggedLine>{
                             {"getClickHouseQueryResult", "Split String Error"},
                             {"getLastSnowflakeId", "Split String Error"},
                             {"setLastsnowflakeId",
                              "PostgreSQL TB_OLAP_TABLE updated successfully. Last Snowflake ID: 0"}}));
    EXPECT_EQ(fake.commands().back(), updateWith("0"));
}
}  // namespace

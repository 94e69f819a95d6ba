// The real PostgreSQL server of the rig, reached with the real psql through
// the command line the tool composes for the Snowflake ID hand-off.

#include <gtest/gtest.h>

#include "rig.h"

namespace qortest {
namespace {

std::string handOff(const std::string& password, const std::string& id) {
    return "export PGPASSWORD=\"" + password + "\"; psql -h 127.0.0.1 -U qoruser -d qorrdb -p 8817 -c \"UPDATE "
           "tb_olap_table SET last_snowflake_id = '" + id + "', modified_time = NOW() WHERE last_snowflake_id = '0'\"";
}

TEST(PostgresServerTest, TakesTheFirstSnowflakeIdOnly) {
    Sandbox sandbox;
    PostgresServer& server = sandbox.usePostgresServer();
    EXPECT_EQ(server.query("SELECT last_snowflake_id, modified_time FROM tb_olap_table"), "0|2020-01-01 00:00:00\n");

    const auto first = sandbox.runShell(handOff("qorpass", "7535407934029692928"));
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_EQ(first.out, "UPDATE 1\n");
    EXPECT_EQ(server.query("SELECT last_snowflake_id, modified_time > '2020-01-01' FROM tb_olap_table"),
              "7535407934029692928|t\n");

    const auto second = sandbox.runShell(handOff("qorpass", "7535407934029700000"));
    EXPECT_EQ(second.exitStatus, 0) << second.err;
    EXPECT_EQ(second.out, "UPDATE 0\n");
    EXPECT_EQ(server.query("SELECT last_snowflake_id FROM tb_olap_table"), "7535407934029692928\n");
}

TEST(PostgresServerTest, RefusesAWrongPasswordAndStartsEachTestFromZero) {
    Sandbox sandbox;
    PostgresServer& server = sandbox.usePostgresServer();
    EXPECT_EQ(server.query("SELECT last_snowflake_id FROM tb_olap_table"), "0\n");
    const auto refused = sandbox.runShell(handOff("wrong", "1"));
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_NE(refused.err.find("password authentication failed"), std::string::npos) << refused.err;
    EXPECT_EQ(server.query("SELECT last_snowflake_id FROM tb_olap_table"), "0\n");
    EXPECT_THROW(server.query("SELECT nothing FROM nowhere"), std::runtime_error);
}

}  // namespace
}  // namespace qortest

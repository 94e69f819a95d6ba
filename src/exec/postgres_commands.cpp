#include "exec/postgres_commands.h"

#include "exec/shell_quote.h"

namespace {
constexpr std::string_view snowflakeUpdateSql =
    "UPDATE tb_olap_table SET last_snowflake_id = '%s', modified_time = NOW() "
    "WHERE last_snowflake_id = '0'";
}  // namespace

ShellCommand snowflakeUpdateCommand(const PostgresLogin& login, std::string_view snowflakeId) {
    return {"psql -h " + bareArgument(login.host) + " -U " + bareArgument(login.user) +
                " -d qorrdb -p 8817 -c \"" +
                insideDoubleQuotes(fillTemplate(snowflakeUpdateSql, {snowflakeId})) + "\"",
            {{"PGPASSWORD", login.password}}};
}

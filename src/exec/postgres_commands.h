#pragma once
// The management server's PostgreSQL: psql -h HOST -U USER -d qorrdb -p 8817,
// the password in PGPASSWORD.

#include <string_view>

#include "exec/command_text.h"

ShellCommand snowflakeUpdateCommand(const PostgresLogin& login, std::string_view snowflakeId);

#pragma once
// Hands the ClickHouse Snowflake ID of one minute before the run to the
// management server's PostgreSQL database, once per installation.

#include <optional>
#include <string>

#include "migrate/run.h"

// The ID as ClickHouse printed it; nothing, after a line saying why, when it
// gave none.
std::optional<std::string> getLastSnowflakeId(const OlapMigrator& run);

// Writes the ID where the table still holds '0' and logs how psql ended.
// False when there was no ID to write or psql failed.
bool setLastsnowflakeId(const OlapMigrator& run);

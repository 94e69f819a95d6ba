#pragma once
// Hands the ClickHouse Snowflake ID of one minute before the run to the
// management server's PostgreSQL database, once per installation.

#include <string>

#include "migrate/run.h"

// The ID as ClickHouse printed it; "0" after "Split String Error" when it
// printed nothing.
std::string getLastSnowflakeId(const OlapMigrator& run);

// Writes the ID where the table still holds '0' and logs how psql ended.
void setLastsnowflakeId(const OlapMigrator& run);

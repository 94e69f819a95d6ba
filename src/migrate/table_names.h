#pragma once
// The ClickHouse names of a MongoDB collection. The "j4" module was renamed
// "zq" on the ClickHouse side, so its collections keep their old MongoDB
// names and get new table names.

#include <string>

// The target table: the first "j4" of the name, wherever it stands, becomes
// "zq"; any later one stays.
std::string toOlapTableName(const std::string& collection);

// Where the export-and-load pipeline puts each exported line.
std::string stagingTableName(const std::string& collection);

// The record of what has been migrated, read before every migration.
std::string completedTableName(const std::string& collection);

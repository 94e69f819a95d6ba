#pragma once
#include <string>

namespace qortest {
// The ClickHouse objects the migration of every collection of the built-in
// catalogue writes to, as ';'-separated statements.
std::string schemaSql();
}  // namespace qortest

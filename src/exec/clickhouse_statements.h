#pragma once
// ClickHouse's statements: the SQL the tool runs, and the client line that
// carries it (clickhouse-client -h HOST --port=8820 -u USER --query=SQL, the
// password in CLICKHOUSE_PASSWORD).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "exec/command_text.h"

// The client prefix followed by the SQL as the one value of --query=.
ShellCommand clickhouseCommand(const ClickHouseLogin& login, std::string_view sql);
// The load side of the export-and-load pipeline, reading JSON lines from stdin.
ShellCommand clickhouseLoadCommand(const ClickHouseLogin& login, std::string_view stagingTable);

std::string rangeSummarySql(std::string_view completedTable);
std::string migCountSql(std::string_view olapName);
// The summary of the completed rows of `span` (count, fingerprint), and
// whether a retry marked the table as cleared only in part.
std::string completedSummarySql(std::string_view completedTable, const ObjectIdSpan& span);
// A retry marks the completed table while it clears: the target's rows go
// first, and a table still marked records rows the target may no longer hold.
std::string retryMarkSql(std::string_view completedTable);
std::string retryUnmarkSql(std::string_view completedTable);
// The summaries of the completed rows of `span` by the first `prefixLength`
// digits of their `oid`, for the prefixes that continue one of `parents`
// (all of one length): "prefix TAB count TAB fingerprint" lines.
std::string completedSummariesByPrefixSql(std::string_view completedTable, const ObjectIdSpan& span,
                                          std::size_t prefixLength,
                                          const std::vector<std::string>& parents);
// The `oid` of every completed row of `spans`, newest first, once per row.
std::string completedOidsSql(std::string_view completedTable, const std::vector<ObjectIdSpan>& spans);
std::string truncateSql(std::string_view table);
// The target rows whose time column lies between the two UTC date-times,
// both included.
std::string deleteRangeSql(std::string_view table, std::string_view timeExpression,
                           std::string_view fromDateTime, std::string_view toDateTime);
std::string deleteCompletedSql(std::string_view completedTable, const ObjectIdSpan& span);
std::string memoryTrackingSql();
std::string snowflakeIdSql();
std::string preprocessCheckSql();
std::string preprocessRecordSql(std::string_view key);

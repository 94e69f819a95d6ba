#pragma once
// The runners through which every database and host access passes: start one
// shell command, wait for its end, hand back what it printed and how it ended.

#include <optional>
#include <string>
#include <vector>

#include "exec/host.h"
#include "exec/logins.h"

struct CommandOutput {
    std::string text;  // the last piece read (the last line, with its newline)
    ChildStatus status;
};

struct QueryResult {
    std::vector<std::string> fields;  // TAB-separated pieces, the last keeps the final newline
    ChildStatus status;
};

CommandOutput executeCommand(const std::string& command, const Host& host = realHost());

// `sql` is plain SQL; it reaches clickhouse-client as the one --query= value.
QueryResult getClickHouseQueryResult(const ClickHouseLogin& login, const std::string& sql,
                                     const Host& host = realHost());

ChildStatus executeClickHouseCommand(const ClickHouseLogin& login, const std::string& sql,
                                     const Host& host = realHost());

// The date-time between the first and the last single quote of a MongoDB
// shell line, as "YYYY-MM-DD HH:MM:SS". Nothing, after an "Invalid format "
// line, when the line holds no quoted value: nothing sensible can follow a
// time that could not be read, so the caller stops the run.
std::optional<std::string> getDataStr(const std::string& line);

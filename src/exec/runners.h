#pragma once
// The runners through which every database and host access passes: start one
// shell command, wait for its end, hand back what it printed and how it ended.
// This is the one place that decides what a failed call means: whatever a
// program printed before it ended with a non-zero status is no answer, so a
// caller sees either a reply (possibly empty) or a failure, never a guess.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exec/host.h"
#include "exec/logins.h"

struct CallStatus {
    ChildStatus status;
    std::string program;  // the first word of the command, for the lines naming a failure

    bool failed() const { return !status.succeeded(); }
    // "mongosh exit 1"; a program that could not be started at all is 127.
    std::string failure() const;
};

struct CommandOutput : CallStatus {
    std::string text;  // the last piece read (the last line, with its newline); empty on failure
};

struct QueryResult : CallStatus {
    std::vector<std::string> fields;  // TAB-separated pieces, the last keeps the final newline
};

CommandOutput executeCommand(const ShellCommand& command, const Host& host = realHost());

// The same with `text` holding the whole output, for a program whose answer
// is not on its last line (free).
CommandOutput readWholeOutput(const ShellCommand& command, const Host& host = realHost());

// Every line the command prints, without its newline, as it arrives: for
// replies of many lines, which nobody holds whole. Lines come also from a
// call that fails in the end; the caller drops them then.
CallStatus readLines(const ShellCommand& command, const Host& host,
                     const std::function<void(std::string_view line)>& onLine);

// `sql` is plain SQL; it reaches clickhouse-client as the one --query= value.
// "Split String Error" is logged whenever no field comes back.
QueryResult getClickHouseQueryResult(const ClickHouseLogin& login, const std::string& sql,
                                     const Host& host = realHost());

CallStatus executeClickHouseCommand(const ClickHouseLogin& login, const std::string& sql,
                                    const Host& host = realHost());

// The date-time between the first and the last single quote of a MongoDB
// shell line, as "YYYY-MM-DD HH:MM:SS". Nothing, after an "Invalid format "
// line, when the line holds no quoted value: nothing sensible can follow a
// time that could not be read, so the caller stops the run.
std::optional<std::string> getDataStr(const std::string& line);

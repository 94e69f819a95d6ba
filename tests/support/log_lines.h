#pragma once
// The tool's console log lines, "YYYY-MM-DD HH:MM:SS - [LOG][function:line] message",
// picked out of its standard output.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qortest {

struct LogLine {
    std::string time;      // "YYYY-MM-DD HH:MM:SS"
    std::string function;
    int line = 0;
    std::string message;   // the rest of the physical line
    // The physical lines after it up to the next log line: the continuation
    // of a message holding newlines, or output of a child in between.
    std::vector<std::string> following;
};

std::vector<LogLine> parseLogLines(std::string_view output);

// Messages of all log lines, in order.
std::vector<std::string> logMessages(std::string_view output);

// The first log line whose message is exactly `message`.
std::optional<LogLine> findLogLine(std::string_view output, std::string_view message);

std::size_t countLogLines(std::string_view output, std::string_view message);

}  // namespace qortest

#pragma once
// src/util, the ground floor: log lines, dates, text parsers, the catalogue
// and rooted paths, with no process and no server behind them.
//
// Console output of the tool: time-stamped log lines on standard output.
// There is no log file; an administrator reads the console or redirects it.

#include <sstream>
#include <string>
#include <string_view>

// Local time of the host, whole seconds, "YYYY-MM-DD HH:MM:SS".
std::string getCurrentTime();

// One log line: time stamp, " - [LOG][", function, ":", line, "] ", message,
// newline; standard output is flushed so that an operator watching a long
// migration sees each step as it happens.
void writeLog(std::string_view function, int line, std::string_view message);

// Concatenates the pieces of a message the way a stream would print them:
// strings as they are, integers in decimal without grouping.
template <typename... Pieces>
std::string joinPieces(const Pieces&... pieces) {
    std::ostringstream text;
    (text << ... << pieces);
    return text.str();
}

// The call site's own function name and source line go into the line.
#define LOG(...) writeLog(__func__, __LINE__, joinPieces(__VA_ARGS__))

// For the steps of main that live in helpers of their own: operators know
// these lines as main's, so they keep that name.
#define LOG_AS(function, ...) writeLog(function, __LINE__, joinPieces(__VA_ARGS__))

// Plain report line (the "check" and "drop" reports): text, newline, flush.
void writeReportLine(std::string_view text);
// The rule between the parts of those reports.
inline constexpr std::string_view reportSeparator =
    "--------------------------------------------------------";

// Diagnostic on standard error; a text that already ends in a newline gets
// no second one.
void writeDiagnostic(std::string_view text);

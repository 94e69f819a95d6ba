#include "exec/runners.h"

#include "exec/clickhouse_statements.h"
#include "util/dates.h"
#include "util/log.h"
#include "util/parsers.h"

namespace {
// Piece sizes of the two readers: the last-line reader keeps only the final
// piece, so its size bounds the longest last line handed back whole.
constexpr std::size_t lastLinePieceSize = 1024;
constexpr std::size_t queryPieceSize = 512;
constexpr std::size_t linePieceSize = 4096;

std::string programOf(const std::string& command) { return command.substr(0, command.find(' ')); }
}  // namespace

std::string CallStatus::failure() const {
    return program + " exit " + std::to_string(status.started() ? status.code : 127);
}

namespace {
CommandOutput readCommand(const ShellCommand& command, const Host& host, bool whole) {
    CommandOutput output;
    output.program = programOf(command.text);
    output.status = host.readOutput(command, lastLinePieceSize, [&](std::string_view piece) {
        if (!whole) output.text.clear();
        output.text.append(piece);
    });
    if (!output.status.started()) LOG("Failed to execute query.");
    if (output.failed()) output.text.clear();
    return output;
}
}  // namespace

CommandOutput executeCommand(const ShellCommand& command, const Host& host) {
    return readCommand(command, host, false);
}

CommandOutput readWholeOutput(const ShellCommand& command, const Host& host) {
    return readCommand(command, host, true);
}

CallStatus readLines(const ShellCommand& command, const Host& host,
                     const std::function<void(std::string_view line)>& onLine) {
    CallStatus call;
    call.program = programOf(command.text);
    std::string line;
    call.status = host.readOutput(command, linePieceSize, [&](std::string_view piece) {
        if (!piece.ends_with('\n')) {
            line.append(piece);
            return;
        }
        piece.remove_suffix(1);
        if (line.empty()) {
            onLine(piece);
            return;
        }
        line.append(piece);
        onLine(line);
        line.clear();
    });
    if (!line.empty()) onLine(line);
    if (!call.status.started()) LOG("Failed to execute query.");
    return call;
}

QueryResult getClickHouseQueryResult(const ClickHouseLogin& login, const std::string& sql,
                                     const Host& host) {
    QueryResult result;
    result.program = "clickhouse-client";
    std::string text;
    result.status = host.readOutput(clickhouseCommand(login, sql), queryPieceSize,
                                    [&text](std::string_view piece) { text.append(piece); });
    if (!result.status.started()) {
        LOG("Failed to execute query.");
        return result;
    }
    if (!result.failed()) result.fields = splitByTab(text);
    if (result.fields.empty()) LOG("Split String Error");
    return result;
}

CallStatus executeClickHouseCommand(const ClickHouseLogin& login, const std::string& sql,
                                    const Host& host) {
    return {host.run(clickhouseCommand(login, sql)), "clickhouse-client"};
}

std::optional<std::string> getDataStr(const std::string& line) {
    const std::size_t open = line.find('\'');
    const std::size_t close = line.rfind('\'');
    const std::size_t from = open == std::string::npos ? 0 : open + 1;
    if (close != std::string::npos && from < close)
        return convertIsoDateTime(line.substr(from, close - from));
    LOG("Invalid format ", line);
    return std::nullopt;
}

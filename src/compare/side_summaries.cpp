#include "compare/side_summaries.h"

#include <algorithm>
#include <limits>
#include <sstream>

#include "exec/clickhouse_statements.h"
#include "exec/mongo_shell_scripts.h"
#include "exec/runners.h"
#include "util/parsers.h"

namespace {
constexpr const char* notANumber = "a summary that is not a number";

std::optional<Summary> summaryOf(std::string_view count, std::string_view fingerprint) {
    const std::optional<std::uint64_t> n = readWholeNumber(count);
    const std::optional<std::uint64_t> sum = readWholeNumber(fingerprint);
    if (!n || !sum || *n > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    return Summary{static_cast<std::int64_t>(*n), *sum};
}
}  // namespace

SideReading<std::vector<Summary>> summarizeDocuments(const MongoLogin& login, std::string_view collection,
                                                    const std::vector<ObjectIdSpan>& spans, const Host& host) {
    std::string printed;
    const CallStatus call =
        readLines(documentSummariesCommand(login, collection, spans), host,
                  [&printed](std::string_view line) { printed.append(line).push_back(' '); });
    if (call.failed()) return {std::nullopt, call.failure()};
    std::vector<Summary> summaries;
    std::istringstream words(printed);
    for (std::string count, fingerprint; words >> count;) {
        const std::optional<Summary> summary = words >> fingerprint ? summaryOf(count, fingerprint) : std::nullopt;
        if (!summary) return {std::nullopt, notANumber};
        summaries.push_back(*summary);
    }
    // One summary too few would shift every later one onto the wrong piece.
    if (summaries.size() != spans.size())
        return {std::nullopt, std::to_string(summaries.size()) + " summaries for " +
                                  std::to_string(spans.size()) + " spans"};
    return {std::move(summaries), ""};
}

std::string summarizePieces(const MongoLogin& login, std::string_view collection, std::vector<Piece>& pieces,
                            const Host& host) {
    for (std::size_t first = 0; first < pieces.size(); first += piecesPerCall) {
        const std::size_t last = std::min(pieces.size(), first + piecesPerCall);
        std::vector<ObjectIdSpan> bounds;
        for (std::size_t i = first; i < last; ++i) bounds.push_back(pieces[i].bounds);
        const SideReading<std::vector<Summary>> documents = summarizeDocuments(login, collection, bounds, host);
        if (!documents.value) return documents.why;
        for (std::size_t i = first; i < last; ++i) pieces[i].documents = (*documents.value)[i - first];
    }
    return "";
}

namespace {
SideReading<std::int64_t> readCount(const ShellCommand& command, const Host& host) {
    const CommandOutput reply = executeCommand(command, host);
    if (reply.failed()) return {std::nullopt, reply.failure()};
    const std::optional<Summary> count = summaryOf(removeNewlines(reply.text), "0");
    if (!count) return {std::nullopt, notANumber};
    return {count->count, ""};
}
}  // namespace

SideReading<std::int64_t> countOtherIds(const MongoLogin& login, std::string_view collection, const Host& host) {
    return readCount(otherIdsCountCommand(login, collection), host);
}

SideReading<std::int64_t> countDocuments(const MongoLogin& login, std::string_view collection,
                                         const ObjectIdSpan& span, const Host& host) {
    return readCount(spanCountCommand(login, collection, span), host);
}

SideReading<Summary> summarizeCompletedRows(const ClickHouseLogin& login, std::string_view completedTable,
                                           const ObjectIdSpan& span, const Host& host,
                                           bool despiteRetryMark) {
    const QueryResult reply = getClickHouseQueryResult(login, completedSummarySql(completedTable, span), host);
    if (reply.failed()) return {std::nullopt, reply.failure()};
    const std::vector<std::string>& fields = reply.fields;
    const std::optional<Summary> rows = fields.size() == 3 ? summaryOf(fields[0], fields[1]) : std::nullopt;
    const std::optional<std::uint64_t> marks =
        fields.size() == 3 ? readWholeNumber(removeNewlines(fields[2])) : std::nullopt;
    if (!rows || !marks) return {std::nullopt, notANumber};
    if (*marks != 0 && !despiteRetryMark) return {std::nullopt, "marked by a retry that did not end well: run retry again"};
    return {rows, ""};
}

SideReading<std::map<std::string, Summary>> summarizeCompletedRowsByPrefix(
    const ClickHouseLogin& login, std::string_view completedTable, const ObjectIdSpan& span,
    std::size_t prefixLength, const std::vector<std::string>& parents, const Host& host) {
    std::map<std::string, Summary> rows;
    bool readable = true;
    const CallStatus call = readLines(
        clickhouseCommand(login, completedSummariesByPrefixSql(completedTable, span, prefixLength, parents)),
        host, [&](std::string_view line) {
            std::istringstream fields{std::string(line)};
            std::string prefix, count, fingerprint, more;
            const std::optional<Summary> summary =
                std::getline(fields, prefix, '\t') && std::getline(fields, count, '\t') &&
                        std::getline(fields, fingerprint, '\t') && !std::getline(fields, more)
                    ? summaryOf(count, fingerprint)
                    : std::nullopt;
            readable = readable && summary && prefix.size() == prefixLength && rows.count(prefix) == 0;
            if (readable) rows[prefix] = *summary;
        });
    if (call.failed()) return {std::nullopt, call.failure()};
    if (!readable) return {std::nullopt, notANumber};
    return {std::move(rows), ""};
}

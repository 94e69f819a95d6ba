#include "compare/id_listings.h"

#include "exec/clickhouse_statements.h"
#include "exec/mongo_export_commands.h"
#include "exec/runners.h"
#include "util/parsers.h"

namespace {
// A line that is no id ends the listing as unreadable: taken for nothing,
// it would make a present document look missing and move it twice.
IdListing listIds(const ShellCommand& command, const Host& host, const OnId& onId,
                  std::string_view (*idOfLine)(std::string_view)) {
    bool readable = true;
    const CallStatus call = readLines(command, host, [&](std::string_view line) {
        const std::string_view id = idOfLine(line);
        readable = readable && isObjectIdText(id);
        if (readable) onId(id);
    });
    if (call.failed()) return {false, call.failure()};
    if (!readable) return {false, "a line without an ObjectId"};
    return {true, ""};
}

// {"_id":{"$oid":"659200800000000000000000"}}
std::string_view exportedId(std::string_view line) {
    constexpr std::string_view marker = "\"$oid\":\"";
    const std::size_t at = line.find(marker);
    return at == std::string_view::npos ? std::string_view() : line.substr(at + marker.size(), 24);
}

std::string_view wholeLine(std::string_view line) { return line; }
}  // namespace

IdListing listDocumentIds(const MongoLogin& login, std::string_view collection,
                          std::string_view queryFile, std::string_view configFile,
                          const Host& host, const OnId& onId) {
    return listIds(objectIdExportCommand(login, collection, queryFile, configFile), host, onId,
                   exportedId);
}

IdListing listCompletedOids(const ClickHouseLogin& login, std::string_view completedTable,
                            const std::vector<ObjectIdSpan>& spans, const Host& host,
                            const OnId& onId) {
    return listIds(clickhouseCommand(login, completedOidsSql(completedTable, spans)), host, onId,
                   wholeLine);
}

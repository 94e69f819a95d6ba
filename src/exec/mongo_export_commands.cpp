#include "exec/mongo_export_commands.h"

#include "exec/shell_quote.h"
#include "util/paths.h"

// The fixed templates of the exporter's lines, filled by the composers below.
namespace templates {
inline constexpr std::string_view mongoExportCmd =
    "mongoexport --host %s:8825 --collection=%s --db=qornosql -u %s --config=%s "
    "--authenticationDatabase qornosql --sort='{ \"_id\": -1 }' ";
inline constexpr std::string_view queryRangeOpt =
    "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"%s\" }, \"$gte\": { \"$oid\": \"%s\" } } }'";
inline constexpr std::string_view queryUpperOpt =
    "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"%s\" } } }'";
}  // namespace templates

std::string exportQueryOption(std::string_view upperOid, std::string_view lowerOid) {
    if (upperOid.empty()) return {};
    if (lowerOid.empty()) return fillTemplate(templates::queryUpperOpt, {insideSingleQuotes(upperOid)});
    return fillTemplate(templates::queryRangeOpt,
                        {insideSingleQuotes(upperOid), insideSingleQuotes(lowerOid)});
}

namespace {
// The exporter's configuration file: a YAML double-quoted scalar takes the
// escapes of a JSON string.
std::string exportConfigText(const MongoLogin& login) {
    return "password: " + javaScriptString(login.password) + "\n";
}
}  // namespace

ShellCommand exportCommand(const MongoLogin& login, std::string_view collection,
                           std::string_view queryOption, std::string_view configFile) {
    return {fillTemplate(templates::mongoExportCmd,
                         {bareArgument(login.host), bareArgument(collection),
                          bareArgument(login.user), bareArgument(configFile)}) +
                std::string(queryOption),
            {},
            SecretFile{std::string(configFile), exportConfigText(login)}};
}

std::string objectIdQueryText(const std::vector<ObjectIdSpan>& ranges,
                              const std::vector<std::string>& ids) {
    const auto oid = [](const std::string& id) { return "{ \"$oid\": \"" + id + "\" }"; };
    std::string clauses;
    for (const ObjectIdSpan& range : ranges) {
        clauses += (clauses.empty() ? "" : ", ") + std::string("{ \"_id\": { \"$gte\": ") +
                   oid(range.lower) + ", \"$lte\": " + oid(range.upper) + " } }";
    }
    if (!ids.empty()) {
        std::string listed;
        for (const std::string& id : ids) listed += (listed.empty() ? "" : ", ") + oid(id);
        clauses += (clauses.empty() ? "" : ", ") + std::string("{ \"_id\": { \"$in\": [ ") + listed +
                   " ] } }";
    }
    return "{ \"$or\": [ " + clauses + " ] }\n";
}

std::string queryFileOption(std::string_view queryFile) {
    return "--queryFile=" + bareArgument(queryFile);
}

ShellCommand objectIdExportCommand(const MongoLogin& login, std::string_view collection,
                                   std::string_view queryFile, std::string_view configFile) {
    return exportCommand(login, collection,
                         queryFileOption(queryFile) + " --fields _id --type=json --quiet", configFile);
}

ShellCommand objectIdListExportCommand(const MongoLogin& login, std::string_view collection,
                                       std::string_view lowerOid, std::string_view upperOid,
                                       std::string_view floorOid, std::string_view configFile) {
    const std::string filter =
        lowerOid.empty()
            ? "{ \"_id\": {  \"$gt\": { \"$oid\": \"" + insideSingleQuotes(floorOid) + "\" } } }"
            : "{ \"_id\": { \"$lte\": { \"$oid\": \"" + insideSingleQuotes(upperOid) +
                  "\" }, \"$gte\": { \"$oid\": \"" + insideSingleQuotes(lowerOid) + "\" } } }";
    return exportCommand(login, collection,
                         "--query '" + filter + "' --fields _id --type=json --quiet > " +
                             bareArgument(rootedPath(paths::oidTempFile)),
                         configFile);
}

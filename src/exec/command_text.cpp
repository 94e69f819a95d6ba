#include "exec/command_text.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>

#include "exec/id_fingerprint.h"
#include "exec/shell_quote.h"
#include "util/dates.h"
#include "util/paths.h"

// The fixed templates of a migration run, filled by the composers below.
namespace templates {
inline constexpr std::string_view mongoExportCmd =
    "mongoexport --host %s:8825 --collection=%s --db=qornosql -u %s --config=%s "
    "--authenticationDatabase qornosql --sort='{ \"_id\": -1 }' ";
inline constexpr std::string_view queryRangeOpt =
    "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"%s\" }, \"$gte\": { \"$oid\": \"%s\" } } }'";
inline constexpr std::string_view queryUpperOpt =
    "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"%s\" } } }'";
inline constexpr std::string_view clickhouseCmd =
    "clickhouse-client -h %s --port=8820 -u %s --query=";
inline constexpr std::string_view insertLineSql = "INSERT INTO %s FORMAT LineAsString";
inline constexpr std::string_view truncateSql = "truncate table ";
inline constexpr std::string_view rangeSummarySql =
    "select count(), min(server_time), max(server_time), min(oid) from ";
inline constexpr std::string_view migCountSql =
    "select a.cnt, b.cnt from (SELECT count() as cnt FROM mig_%s) as a, "
    "(SELECT count() as cnt FROM mig_%s_completed) as b ";
inline constexpr std::string_view deleteRangeSql =
    "DELETE FROM %s WHERE %s <= toUnixTimestamp(toDateTime('%s', 'UTC'))";
inline constexpr std::string_view memoryTrackingSql =
    "select value from system.metrics where metric = 'MemoryTracking'";
}  // namespace templates

namespace {
constexpr std::string_view mongoshPrefix = "mongosh %s:8825/qornosql --quiet --eval ";
constexpr std::string_view edgeObjectIdScript =
    "\"db.%s.find(%s, {_id: 1}).sort({_id: %d}).limit(1)\"";
constexpr std::string_view objectIdTimeScript =
    "\"db.%s.find().sort({ _id: %d }).limit(1).forEach(doc => print(doc._id.getTimestamp()))\"";
constexpr std::string_view createTimeScript =
    "\"db.%s.find(%s, {create_time: 1, _id: 0}).sort({create_time: %d}).limit(1)\"";
constexpr std::string_view dataDateScript =
    "\"db.%s.find(%s, {data_date: 1, _id: 0}).sort({data_date: %d}).limit(1)\"";
constexpr std::string_view storageSizeScript =
    "'db.getCollection(\"%s\").stats().storageSize' ";
constexpr std::string_view dropScript = "'db.%s.drop()' ";
constexpr std::string_view otherIdsCountScript =
    "'db.%s.countDocuments({ _id: { $not: { $type: \"objectId\" } } }, { hint: { _id: 1 } })' ";
constexpr std::string_view mergeSeqConversionScript =
    "'db.%s.updateMany( { \"merge_seq\": { $type: \"string\" } }, [ { $set: { \"merge_seq\": "
    "{ $convert: { input: \"$merge_seq\", to: \"int\" } } } } ] );'";
constexpr std::string_view loadSettingSql = "SET max_partitions_per_insert_block = 500; ";
constexpr std::string_view snowflakeUpdateSql =
    "UPDATE tb_olap_table SET last_snowflake_id = '%s', modified_time = NOW() "
    "WHERE last_snowflake_id = '0'";
constexpr std::string_view preprocessRecordTemplate =
    "insert into mig_tb_preprocess_completed values (now64(), '%s')";

// Puts the values, in order, where the template has %s or %d. The values
// are already in their final form (quoted, or a number as text), and they
// are never scanned again, so a value holding "%s" stays as it is.
std::string fillTemplate(std::string_view pattern, std::initializer_list<std::string_view> values) {
    std::string text;
    auto value = values.begin();
    std::size_t from = 0;
    std::size_t mark = 0;
    while ((mark = pattern.find('%', mark)) != std::string_view::npos) {
        const bool placeholder =
            mark + 1 < pattern.size() && (pattern[mark + 1] == 's' || pattern[mark + 1] == 'd');
        if (!placeholder) {
            ++mark;
            continue;
        }
        if (value == values.end()) throw std::logic_error("command template needs more values");
        text.append(pattern.substr(from, mark - from));
        text.append(*value++);
        from = mark = mark + 2;
    }
    if (value != values.end()) throw std::logic_error("command template takes fewer values");
    text.append(pattern.substr(from));
    return text;
}

// A JavaScript (and JSON) string literal of any text.
std::string javaScriptString(std::string_view text) {
    std::string literal = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            literal += '\\';
            literal += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            literal += escaped;
        } else {
            literal += c;
        }
    }
    return literal + "\"";
}

// mongosh has no variable or file for a password, so the script itself logs
// in first, taking the password from the shell's environment; only the
// value of the script's last expression is printed, as before.
ShellCommand mongoshCommand(const MongoLogin& login, std::string_view quotedScript) {
    const char quote = quotedScript.front();
    const std::string login_ =
        "db.auth(" + javaScriptString(login.user) + ", process.env." + mongoPasswordVariable + "); ";
    return {fillTemplate(mongoshPrefix, {bareArgument(login.host)}) + quote +
                (quote == '"' ? insideDoubleQuotes(login_) : insideSingleQuotes(login_)) +
                std::string(quotedScript.substr(1)),
            {{mongoPasswordVariable, login.password}}};
}

// A script in the shell's double quotes with the collection, the filter of
// its find (when the script has one) and a sort direction.
std::string sortedScript(std::string_view script, std::string_view collection, std::string_view filter,
                         int direction) {
    if (script.find("find()") != std::string_view::npos)
        return fillTemplate(script, {insideDoubleQuotes(collection), std::to_string(direction)});
    return fillTemplate(script, {insideDoubleQuotes(collection), insideDoubleQuotes(filter),
                                 std::to_string(direction)});
}

std::string fieldName(EdgeField field) {
    return field == EdgeField::dataDate ? "data_date" : "create_time";
}

std::string_view edgeTimeScript(EdgeField field) {
    switch (field) {
        case EdgeField::createTime:
            return createTimeScript;
        case EdgeField::dataDate:
            return dataDateScript;
        case EdgeField::objectId:
            break;
    }
    return objectIdTimeScript;
}

std::string objectIdSpanFilter(const ObjectIdSpan& span) {
    std::string bounds;
    if (!span.lower.empty())
        bounds += std::string(span.lowerExclusive ? "$gt" : "$gte") + ": ObjectId('" + span.lower + "')";
    if (!span.upper.empty())
        bounds += (bounds.empty() ? "" : ", ") + std::string("$lte: ObjectId('") + span.upper + "')";
    return bounds.empty() ? "{}" : "{ _id: { " + bounds + " } }";
}

std::string oidCondition(const ObjectIdSpan& span) {
    std::string condition = "1";
    if (!span.lower.empty())
        condition += std::string(" and oid ") + (span.lowerExclusive ? ">" : ">=") + " '" + span.lower + "'";
    if (!span.upper.empty()) condition += " and oid <= '" + span.upper + "'";
    return condition;
}
}  // namespace

ShellCommand edgeObjectIdCommand(const MongoLogin& login, std::string_view collection, int direction,
                                 EdgeField datedBy, std::string_view datedFrom) {
    // A date enters the script only as the shell would print it back.
    const std::string filter =
        datedFrom.empty() ? "{}"
                          : "{ " + fieldName(datedBy) + ": { $gte: ISODate('" +
                                formatTime(convertToTimestamp(std::string(datedFrom)), "%Y-%m-%dT%H:%M:%SZ") +
                                "') } }";
    return mongoshCommand(login, sortedScript(edgeObjectIdScript, collection, filter, direction));
}

ShellCommand edgeTimeCommand(const MongoLogin& login, std::string_view collection, EdgeField field,
                             int direction, const ObjectIdSpan& within) {
    return mongoshCommand(login, sortedScript(edgeTimeScript(field), collection,
                                              objectIdSpanFilter(within), direction));
}

ShellCommand storageSizeCommand(const MongoLogin& login, std::string_view collection) {
    return mongoshCommand(login, fillTemplate(storageSizeScript, {insideSingleQuotes(collection)}));
}

ShellCommand dropCollectionCommand(const MongoLogin& login, std::string_view collection) {
    return mongoshCommand(login, fillTemplate(dropScript, {insideSingleQuotes(collection)}));
}

ShellCommand otherIdsCountCommand(const MongoLogin& login, std::string_view collection) {
    return mongoshCommand(login, fillTemplate(otherIdsCountScript, {insideSingleQuotes(collection)}));
}

ShellCommand mergeSeqConversionCommand(const MongoLogin& login, std::string_view collection) {
    return mongoshCommand(login,
                          fillTemplate(mergeSeqConversionScript, {insideSingleQuotes(collection)}));
}


ShellCommand documentSummariesCommand(const MongoLogin& login, std::string_view collection,
                                      const std::vector<ObjectIdSpan>& spans) {
    std::string bounds;
    for (const ObjectIdSpan& span : spans)
        bounds += (bounds.empty() ? "['" : ", ['") + span.lower + "', '" + span.upper + "']";
    // String() and not '+': a sum beyond 2^53 comes back as a Long, whose
    // value as a number would lose its last digits. An array left as the
    // last value prints over several lines when wide; joined, it is one
    // line of plain numbers.
    const std::string script =
        "const summary = r => r ? String(r.n) + ' ' + String(r.f) : '0 0'; print([" + bounds +
        "].map(b => summary(db." + std::string(collection) +
        ".aggregate([{ $match: { _id: { $gte: ObjectId(b[0]), $lte: ObjectId(b[1]) } } }, "
        "{ $group: { _id: null, n: { $sum: 1 }, f: { $sum: " + documentFingerprintExpression() +
        " } } }], { hint: { _id: 1 } }).toArray()[0]))"
        ".join(' '))";
    return mongoshCommand(login, "\"" + insideDoubleQuotes(script) + "\"");
}

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

ShellCommand clickhouseCommand(const ClickHouseLogin& login, std::string_view sql) {
    return {fillTemplate(templates::clickhouseCmd,
                         {bareArgument(login.host), bareArgument(login.user)}) +
                "\"" + insideDoubleQuotes(sql) + "\"",
            {{"CLICKHOUSE_PASSWORD", login.password}}};
}

ShellCommand clickhouseLoadCommand(const ClickHouseLogin& login, std::string_view stagingTable) {
    return clickhouseCommand(login, std::string(loadSettingSql) +
                                        fillTemplate(templates::insertLineSql, {stagingTable}));
}

std::string rangeSummarySql(std::string_view completedTable) {
    return std::string(templates::rangeSummarySql) + std::string(completedTable);
}

std::string migCountSql(std::string_view olapName) {
    return fillTemplate(templates::migCountSql, {olapName, olapName});
}

namespace {
std::string retryMarkKey(std::string_view completedTable) { return "retry " + std::string(completedTable); }
}  // namespace

std::string completedSummarySql(std::string_view completedTable, const ObjectIdSpan& span) {
    return "select count(), sum(f), (select count() from mig_tb_preprocess_completed where table_name = '" +
           retryMarkKey(completedTable) + "') from (" +
           rowFingerprintsSql(std::string(completedTable) + " where " + oidCondition(span)) + ")";
}

std::string retryMarkSql(std::string_view completedTable) {
    return preprocessRecordSql(retryMarkKey(completedTable));
}

std::string retryUnmarkSql(std::string_view completedTable) {
    return "DELETE FROM mig_tb_preprocess_completed WHERE table_name = '" +
           retryMarkKey(completedTable) + "'";
}

std::string completedSummariesByPrefixSql(std::string_view completedTable, const ObjectIdSpan& span,
                                          std::size_t prefixLength,
                                          const std::vector<std::string>& parents) {
    std::string listed;
    for (const std::string& parent : parents) listed += (listed.empty() ? "'" : ", '") + parent + "'";
    const std::string length = std::to_string(prefixLength);
    return "select substring(oid, 1, " + length + "), count(), sum(f) from (" +
           rowFingerprintsSql(std::string(completedTable) + " where " + oidCondition(span) +
                              " and substring(oid, 1, " + std::to_string(parents.front().size()) + ") in (" +
                              listed + ")") +
           ") group by 1";
}

std::string completedOidsSql(std::string_view completedTable, const std::vector<ObjectIdSpan>& spans) {
    std::string condition;
    for (const ObjectIdSpan& span : spans)
        condition += (condition.empty() ? "(" : " or (") + oidCondition(span) + ")";
    return "select oid from " + std::string(completedTable) + " where " + condition +
           " order by oid desc";
}

std::string truncateSql(std::string_view table) {
    return std::string(templates::truncateSql) + std::string(table);
}

std::string deleteRangeSql(std::string_view table, std::string_view timeExpression,
                           std::string_view fromDateTime, std::string_view toDateTime) {
    return fillTemplate(templates::deleteRangeSql, {table, timeExpression, toDateTime}) + " AND " +
           std::string(timeExpression) + " >= toUnixTimestamp(toDateTime('" +
           std::string(fromDateTime) + "', 'UTC'))";
}

std::string deleteCompletedSql(std::string_view completedTable, const ObjectIdSpan& span) {
    return "DELETE FROM " + std::string(completedTable) + " WHERE " + oidCondition(span);
}

std::string memoryTrackingSql() { return std::string(templates::memoryTrackingSql); }

std::string snowflakeIdSql() {
    return "SELECT toString(dateTime64ToSnowflakeID(now64() - INTERVAL 1 MINUTE))";
}

std::string preprocessCheckSql() {
    return "select count() From mig_tb_preprocess_completed where table_name = "
           "'report_preprocess'";
}

std::string preprocessRecordSql(std::string_view key) {
    return fillTemplate(preprocessRecordTemplate, {key});
}

ShellCommand snowflakeUpdateCommand(const PostgresLogin& login, std::string_view snowflakeId) {
    return {"psql -h " + bareArgument(login.host) + " -U " + bareArgument(login.user) +
                " -d qorrdb -p 8817 -c \"" +
                insideDoubleQuotes(fillTemplate(snowflakeUpdateSql, {snowflakeId})) + "\"",
            {{"PGPASSWORD", login.password}}};
}

ShellCommand physicalMemoryCommand() { return {"free -b"}; }

ShellCommand directorySizeCommand(std::string_view path) { return {"du -sL " + bareArgument(path)}; }

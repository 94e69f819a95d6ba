#include "exec/mongo_shell_scripts.h"

#include "exec/id_fingerprint.h"
#include "exec/shell_quote.h"
#include "util/dates.h"

namespace {
constexpr std::string_view mongoshPrefix = "mongosh %s:8825/qornosql --quiet --eval ";
constexpr std::string_view edgeObjectIdScript =
    "\"db.%s.find(%s, {_id: 1}).sort({_id: %d}).limit(1)\"";
constexpr std::string_view objectIdTimeScript =
    "\"db.%s.find(%s).sort({ _id: %d }).limit(1).forEach(doc => print(doc._id.getTimestamp()))\"";
// MongoDB sorts strings and numbers before ObjectIds: the edges of a
// collection's ObjectIds leave its documents of other ids out, which the
// comparison counts apart.
constexpr std::string_view spanCountScript = "\"db.%s.countDocuments(%s, { hint: { _id: 1 } })\"";
constexpr std::string_view objectIdsOnly = "{ _id: { $type: 'objectId' } }";
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
}  // namespace

ShellCommand edgeObjectIdCommand(const MongoLogin& login, std::string_view collection, int direction,
                                 EdgeField datedBy, std::string_view datedFrom) {
    // A date enters the script only as the shell would print it back.
    const std::string filter =
        datedFrom.empty() ? std::string(objectIdsOnly)
                          : "{ " + fieldName(datedBy) + ": { $gte: ISODate('" +
                                formatTime(convertToTimestamp(std::string(datedFrom)), "%Y-%m-%dT%H:%M:%SZ") +
                                "') } }";
    return mongoshCommand(login, sortedScript(edgeObjectIdScript, collection, filter, direction));
}

ShellCommand edgeTimeCommand(const MongoLogin& login, std::string_view collection, EdgeField field,
                             int direction, const ObjectIdSpan& within) {
    const std::string filter =
        field == EdgeField::objectId && within.lower.empty() && within.upper.empty() ? std::string(objectIdsOnly)
                                                                                      : objectIdSpanFilter(within);
    return mongoshCommand(login, sortedScript(edgeTimeScript(field), collection, filter, direction));
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

ShellCommand spanCountCommand(const MongoLogin& login, std::string_view collection, const ObjectIdSpan& span) {
    return mongoshCommand(login, fillTemplate(spanCountScript, {insideDoubleQuotes(collection),
                                                                insideDoubleQuotes(objectIdSpanFilter(span))}));
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

// Where the mongosh and mongoexport doubles must behave like the real
// programs in ways the scenario tests take for granted: inclusive bounds,
// refusals, and MongoDB's own answers to awkward data.

#include <gtest/gtest.h>

#include "rig.h"

namespace qortest {
namespace {

const std::string shellPrefix = "mongosh 127.0.0.1:8825/qornosql -u mongouser -p mongopass --quiet --eval ";
const std::string exportPrefix =
    "mongoexport --host 127.0.0.1:8825 --collection=tb_audit_log --db=qornosql -u mongouser -p mongopass "
    "--authenticationDatabase qornosql --sort='{ \"_id\": -1 }' --quiet ";

std::string document(std::int64_t seconds, std::uint32_t counter, const std::string& rest = "") {
    return "{\"_id\":{\"$oid\":\"" + objectIdAt(seconds, counter) + "\"}" + rest + "}";
}

std::string rangeQuery(const std::string& upper, const std::string& lower) {
    return "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"" + upper + "\" }, \"$gte\": { \"$oid\": \"" + lower +
           "\" } } }'";
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

TEST(MongoexportDouble, ExportsNewestFirstWithinInclusiveBounds) {
    Sandbox sandbox;
    std::vector<std::string> docs;  // oldest first
    for (std::uint32_t i = 0; i < 5; ++i) docs.push_back(document(1'700'000'000 + 100 * i, i + 1));
    sandbox.writeCollection("tb_audit_log", docs);
    const auto id = [&](std::size_t index) { return documentObjectId(docs[index]); };

    EXPECT_EQ(sandbox.runShell(exportPrefix).out, joined({docs[4], docs[3], docs[2], docs[1], docs[0]}));
    EXPECT_EQ(sandbox.runShell(exportPrefix + rangeQuery(id(3), id(1))).out, joined({docs[3], docs[2], docs[1]}));
    // The smallest id of a second lies below every real id of that second.
    EXPECT_EQ(sandbox.runShell(exportPrefix + rangeQuery(smallestObjectIdAt(1'700'000'300),
                                                         smallestObjectIdAt(1'700'000'100)))
                  .out,
              joined({docs[2], docs[1]}));
}

TEST(MongoDoubles, RefuseWrongLoginsAndScriptsTheyDoNotKnow) {
    Sandbox sandbox;
    sandbox.writeCollection("tb_audit_log", {document(1000, 1)});
    auto wrongPassword = exportPrefix;
    wrongPassword.replace(wrongPassword.find("-p mongopass"), 12, "-p nope");
    const auto refusedExport = sandbox.runShell(wrongPassword);
    EXPECT_EQ(refusedExport.exitStatus, 1);
    EXPECT_EQ(refusedExport.out, "");

    const auto refusedShell = sandbox.runShell(
        "mongosh 127.0.0.1:8825/qornosql -u mongouser -p wrong --quiet --eval 'db.tb_audit_log.drop()' ");
    EXPECT_EQ(refusedShell.exitStatus, 1);
    EXPECT_EQ(refusedShell.err, "MongoServerError: Authentication failed.\n");
    EXPECT_TRUE(sandbox.collection("tb_audit_log").has_value());

    // One blank too many is already another script.
    const auto unknown = sandbox.runShell(shellPrefix + "\"db.tb_audit_log.find({}, {_id: 1}).sort({_id:  1}).limit(1)\"");
    EXPECT_EQ(unknown.exitStatus, 1);
    EXPECT_EQ(unknown.out, "");
}

TEST(MongoshDouble, EmptyCollectionsPrintNothingAndMissingValuesSortFirst) {
    Sandbox sandbox;
    sandbox.writeCollection("tb_audit_log", {});
    for (const std::string name : {"tb_audit_log", "tb_backup_log"}) {
        const auto id = sandbox.runShell(shellPrefix + "\"db." + name + ".find({}, {_id: 1}).sort({_id: 1}).limit(1)\"");
        EXPECT_EQ(id.exitStatus, 0);
        EXPECT_EQ(id.out, "") << name;
    }
    sandbox.writeCollection("tb_report_data",
                            {document(1000, 1, ",\"create_time\":{\"$date\":\"2024-03-02T08:00:00Z\"}"),
                             document(1010, 2, ",\"data_date\":{\"$date\":\"2024-02-01T00:00:00Z\"}")});
    const std::string createTime = shellPrefix + "\"db.tb_report_data.find({}, {create_time: 1, _id: 0}).sort({create_time: ";
    EXPECT_EQ(sandbox.runShell(createTime + "-1}).limit(1)\"").out,
              "[ { create_time: ISODate('2024-03-02T08:00:00.000Z') } ]\n");
    EXPECT_EQ(sandbox.runShell(createTime + "1}).limit(1)\"").out, "[ {} ]\n");
}

TEST(MongoshDouble, AMergeSeqTextThatIsNoIntegerFailsTheWholeUpdate) {
    Sandbox sandbox;
    sandbox.writeCollection("tb_report_data", {document(1000, 1, ",\"merge_seq\":\"12\""),
                                               document(2000, 2, ",\"merge_seq\":\"12a\"")});
    const auto before = sandbox.collection("tb_report_data");
    const auto result = sandbox.runShell(
        shellPrefix +
        "'db.tb_report_data.updateMany( { \"merge_seq\": { $type: \"string\" } }, [ { $set: { \"merge_seq\": { "
        "$convert: { input: \"$merge_seq\", to: \"int\" } } } } ] );'");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("MongoServerError"), std::string::npos);
    EXPECT_EQ(sandbox.collection("tb_report_data"), before);
}

}  // namespace
}  // namespace qortest

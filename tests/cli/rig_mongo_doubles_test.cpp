// The mongosh and mongoexport doubles, driven by command lines shaped like
// the tool's, through /bin/sh as the tool runs them.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "rig.h"

namespace qortest {
namespace {

const std::string shellPrefix = "mongosh 127.0.0.1:8825/qornosql -u mongouser -p mongopass --quiet --eval ";
const std::string exportPrefix =
    "mongoexport --host 127.0.0.1:8825 --collection=tb_audit_log --db=qornosql -u mongouser -p mongopass "
    "--authenticationDatabase qornosql --sort='{ \"_id\": -1 }' ";

std::string document(std::int64_t seconds, std::uint32_t counter, const std::string& rest = "") {
    return "{\"_id\":{\"$oid\":\"" + objectIdAt(seconds, counter) + "\"}" + rest + "}";
}

std::string rangeQuery(const std::string& upper, const std::string& lower) {
    return "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"" + upper + "\" }, \"$gte\": { \"$oid\": \"" + lower +
           "\" } } }'";
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        result.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return result;
}

class MongoexportDouble : public ::testing::Test {
protected:
    void SetUp() override {
        for (std::uint32_t i = 0; i < 5; ++i) {
            docs_.push_back(document(1'700'000'000 + 100 * i, i + 1, ",\"n\":" + std::to_string(i)));
        }
        sandbox_.writeCollection("tb_audit_log", docs_);
    }

    std::string id(std::size_t index) const { return documentObjectId(docs_[index]); }

    Sandbox sandbox_;
    std::vector<std::string> docs_;  // oldest first
};

TEST_F(MongoexportDouble, ExportsNewestFirstWithinInclusiveBounds) {
    const auto all = sandbox_.runShell(exportPrefix);
    EXPECT_EQ(all.exitStatus, 0) << all.err;
    EXPECT_EQ(lines(all.out), (std::vector<std::string>{docs_[4], docs_[3], docs_[2], docs_[1], docs_[0]}));

    const auto window = sandbox_.runShell(exportPrefix + rangeQuery(id(3), id(1)));
    EXPECT_EQ(lines(window.out), (std::vector<std::string>{docs_[3], docs_[2], docs_[1]}));

    const auto upperOnly =
        sandbox_.runShell(exportPrefix + "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"" + id(1) + "\" } } }'");
    EXPECT_EQ(lines(upperOnly.out), (std::vector<std::string>{docs_[1], docs_[0]}));

    // The smallest id of a second lies below every real id of that second.
    const auto betweenSeconds = sandbox_.runShell(
        exportPrefix + rangeQuery(smallestObjectIdAt(1'700'000'300), smallestObjectIdAt(1'700'000'100)));
    EXPECT_EQ(lines(betweenSeconds.out), (std::vector<std::string>{docs_[2], docs_[1]}));

    const auto empty = sandbox_.runShell(exportPrefix + rangeQuery(smallestObjectIdAt(1'700'000'050),
                                                                   smallestObjectIdAt(1'700'000'010)));
    EXPECT_EQ(empty.exitStatus, 0);
    EXPECT_EQ(empty.out, "");
}

TEST_F(MongoexportDouble, WritesTheIdListQuietly) {
    const auto result = sandbox_.runShell(
        exportPrefix + "--query '{ \"_id\": {  \"$gt\": { \"$oid\": \"" + id(2) +
        "\" } } }' --fields _id --type=json --quiet > " + sandbox_.path("/tmp/oid_temp.txt").string());
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    std::ifstream in(sandbox_.path("/tmp/oid_temp.txt"));
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text, "{\"_id\":{\"$oid\":\"" + id(4) + "\"}}\n{\"_id\":{\"$oid\":\"" + id(3) + "\"}}\n");
}

TEST_F(MongoexportDouble, ReportsProgressUnlessQuiet) {
    const auto loud = sandbox_.runShell(exportPrefix + rangeQuery(id(4), id(3)));
    EXPECT_NE(loud.err.find("connected to: mongodb://127.0.0.1:8825/"), std::string::npos) << loud.err;
    EXPECT_NE(loud.err.find("\texported 2 records\n"), std::string::npos) << loud.err;

    const auto quiet = sandbox_.runShell(exportPrefix + "--quiet");
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(lines(quiet.out).size(), 5u);
}

TEST_F(MongoexportDouble, RefusesAWrongLoginOrPortWithoutOutput) {
    auto wrongPassword = exportPrefix;
    wrongPassword.replace(wrongPassword.find("-p mongopass"), 12, "-p nope");
    const auto refused = sandbox_.runShell(wrongPassword);
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find("Authentication failed."), std::string::npos) << refused.err;

    auto wrongPort = exportPrefix;
    wrongPort.replace(wrongPort.find(":8825"), 5, ":27017");
    const auto unreachable = sandbox_.runShell(wrongPort);
    EXPECT_EQ(unreachable.exitStatus, 1);
    EXPECT_EQ(unreachable.out, "");
}

TEST_F(MongoexportDouble, FailsAfterTheDocumentsItWasToldToDeliver) {
    sandbox_.setEnv("QOR_MONGOEXPORT_FAIL_AFTER", "2");
    const auto result = sandbox_.runShell(exportPrefix + "--quiet");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(lines(result.out), (std::vector<std::string>{docs_[4], docs_[3]}));
    EXPECT_NE(result.err.find("fault injected"), std::string::npos);
}

TEST_F(MongoexportDouble, ExportsNothingFromAMissingCollection) {
    auto missing = exportPrefix;
    missing.replace(missing.find("tb_audit_log"), 12, "tb_backup_log");
    const auto result = sandbox_.runShell(missing);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("exported 0 records"), std::string::npos);
}

TEST_F(MongoexportDouble, RecordsEveryCallInOrder) {
    sandbox_.runShell(exportPrefix + "--quiet; " + shellPrefix + "'db.tb_audit_log.drop()' ");
    const auto calls = sandbox_.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].program, "mongoexport");
    EXPECT_EQ(calls[0].option("--sort"), "{ \"_id\": -1 }");
    EXPECT_EQ(calls[0].option("--collection"), "tb_audit_log");
    EXPECT_EQ(calls[1].argv.back(), "db.tb_audit_log.drop()");
}

TEST_F(MongoexportDouble, TellsAFixtureOutOfOrderInsteadOfExportingIt) {
    std::ofstream(sandbox_.mongoDirectory() / "tb_audit_log.jsonl") << docs_[0] << '\n' << docs_[1] << '\n';
    const auto result = sandbox_.runShell(exportPrefix + "--quiet");
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_NE(result.err.find("not sorted"), std::string::npos) << result.err;
}

// Enough lines that a bounded export seeks its start by bisection.
TEST(MongoexportDoubleOnALargeCollection, FindsEveryWindowExactly) {
    Sandbox sandbox;
    GeneratedDocuments spec;
    spec.count = 20000;
    spec.oldestSeconds = epochUtc("2024-01-01 00:00:00");
    spec.newestSeconds = epochUtc("2024-01-21 00:00:00");
    spec.createTime = true;
    const auto docs = sandbox.generateCollection("tb_audit_log", spec);
    for (const auto& [fromDay, toDay] : std::vector<std::pair<int, int>>{{0, 1}, {7, 9}, {19, 20}, {20, 21}}) {
        const std::int64_t lower = spec.oldestSeconds + fromDay * 86400;
        const std::int64_t upper = spec.oldestSeconds + toDay * 86400;
        std::vector<std::string> expected;
        for (auto it = docs.rbegin(); it != docs.rend(); ++it) {
            const std::string oid = documentObjectId(*it);
            if (oid >= smallestObjectIdAt(lower) && oid <= smallestObjectIdAt(upper)) expected.push_back(*it);
        }
        const auto result = sandbox.runShell(exportPrefix + "--quiet " +
                                             rangeQuery(smallestObjectIdAt(upper), smallestObjectIdAt(lower)));
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        EXPECT_EQ(lines(result.out), expected) << "days " << fromDay << " to " << toDay;
    }
}

class MongoshDouble : public ::testing::Test {
protected:
    RunResult shell(const std::string& script) { return sandbox_.runShell(shellPrefix + script); }

    Sandbox sandbox_;
};

TEST_F(MongoshDouble, AnswersTheOldestAndNewestIdAndTheirTimes) {
    const std::int64_t oldest = epochUtc("2024-01-01 00:00:00");
    const std::int64_t newest = epochUtc("2024-03-05 10:20:30");
    sandbox_.writeCollection("tb_j4_alert_log",
                             {document(newest, 7), document(oldest, 9), document(oldest + 60, 8)});

    const auto first = shell("\"db.tb_j4_alert_log.find({}, {_id: 1}).sort({_id: 1}).limit(1)\"");
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_EQ(first.out, "[ { _id: ObjectId('" + objectIdAt(oldest, 9) + "') } ]\n");
    const auto last = shell("\"db.tb_j4_alert_log.find({}, {_id: 1}).sort({_id: -1}).limit(1)\"");
    EXPECT_EQ(last.out, "[ { _id: ObjectId('" + objectIdAt(newest, 7) + "') } ]\n");

    const auto loud = sandbox_.runShell(
        "mongosh 127.0.0.1:8825/qornosql -u mongouser -p mongopass --eval \"db.tb_j4_alert_log.find({}, {_id: 1}).sort({_id: 1}).limit(1)\"");
    EXPECT_EQ(loud.out.rfind("Current Mongosh Log ID:", 0), 0u);
    EXPECT_EQ(loud.out.substr(loud.out.rfind('\n', loud.out.size() - 2) + 1), first.out);

    const auto newestTime = shell(
        "\"db.tb_j4_alert_log.find().sort({ _id: -1 }).limit(1).forEach(doc => print(doc._id.getTimestamp()))\"");
    EXPECT_EQ(newestTime.out, "ISODate('2024-03-05T10:20:30.000Z')\n");
    const auto oldestTime = shell(
        "\"db.tb_j4_alert_log.find().sort({ _id: 1 }).limit(1).forEach(doc => print(doc._id.getTimestamp()))\"");
    EXPECT_EQ(oldestTime.out, "ISODate('2024-01-01T00:00:00.000Z')\n");
}

TEST_F(MongoshDouble, PrintsNothingForAnEmptyOrMissingCollection) {
    sandbox_.writeCollection("tb_audit_log", {});
    for (const std::string name : {"tb_audit_log", "tb_backup_log"}) {
        const auto id = shell("\"db." + name + ".find({}, {_id: 1}).sort({_id: 1}).limit(1)\"");
        EXPECT_EQ(id.exitStatus, 0);
        EXPECT_EQ(id.out, "") << name;
        const auto time = shell("\"db." + name + ".find({}, {create_time: 1, _id: 0}).sort({create_time: -1}).limit(1)\"");
        EXPECT_EQ(time.out, "") << name;
    }
}

TEST_F(MongoshDouble, SortsByDocumentFieldsWithMissingValuesFirst) {
    const std::int64_t base = epochUtc("2024-03-01 00:00:00");
    sandbox_.writeCollection(
        "tb_report_data",
        {document(base, 1, ",\"create_time\":{\"$date\":\"2024-03-02T08:00:00Z\"}"),
         document(base + 10, 2, ",\"create_time\":{\"$date\":\"2024-03-01T10:00:00.123Z\"}"),
         document(base + 20, 3, ",\"data_date\":{\"$date\":\"2024-02-01T00:00:00Z\"}")});
    const std::string createTime = "\"db.tb_report_data.find({}, {create_time: 1, _id: 0}).sort({create_time: ";
    EXPECT_EQ(shell(createTime + "-1}).limit(1)\"").out,
              "[ { create_time: ISODate('2024-03-02T08:00:00.000Z') } ]\n");
    EXPECT_EQ(shell(createTime + "1}).limit(1)\"").out, "[ {} ]\n");
    EXPECT_EQ(shell("\"db.tb_report_data.find({}, {data_date: 1, _id: 0}).sort({data_date: -1}).limit(1)\"").out,
              "[ { data_date: ISODate('2024-02-01T00:00:00.000Z') } ]\n");

    sandbox_.writeCollection("tb_report_status",
                             {document(base, 1, ",\"create_time\":{\"$date\":\"2024-03-02T08:00:00Z\"}"),
                              document(base + 10, 2, ",\"create_time\":{\"$date\":\"2024-03-01T10:00:00.123Z\"}")});
    EXPECT_EQ(shell("\"db.tb_report_status.find({}, {create_time: 1, _id: 0}).sort({create_time: 1}).limit(1)\"").out,
              "[ { create_time: ISODate('2024-03-01T10:00:00.123Z') } ]\n");
}

TEST_F(MongoshDouble, GivesTheStorageSizeOrRefusesAMissingCollection) {
    sandbox_.writeCollection("tb_audit_log", {document(1000, 1)});
    const auto fileSize = shell("'db.getCollection(\"tb_audit_log\").stats().storageSize' ");
    EXPECT_EQ(fileSize.out, std::to_string(std::filesystem::file_size(sandbox_.mongoDirectory() / "tb_audit_log.jsonl")) + "\n");
    sandbox_.setStorageSize("tb_audit_log", 5242880);
    EXPECT_EQ(shell("'db.getCollection(\"tb_audit_log\").stats().storageSize' ").out, "5242880\n");

    const auto missing = shell("'db.getCollection(\"tb_backup_log\").stats().storageSize' ");
    EXPECT_EQ(missing.exitStatus, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("not found"), std::string::npos);
}

TEST_F(MongoshDouble, DropsACollectionOnce) {
    sandbox_.writeCollection("tb_audit_log", {document(1000, 1)});
    EXPECT_EQ(shell("'db.tb_audit_log.drop()' ").out, "true\n");
    EXPECT_FALSE(sandbox_.collection("tb_audit_log").has_value());
    EXPECT_EQ(shell("'db.tb_audit_log.drop()' ").out, "false\n");
}

const std::string mergeSeqScript =
    "'db.tb_report_data.updateMany( { \"merge_seq\": { $type: \"string\" } }, [ { $set: { \"merge_seq\": { "
    "$convert: { input: \"$merge_seq\", to: \"int\" } } } } ] );'";

TEST_F(MongoshDouble, ConvertsTextMergeSeqToIntegers) {
    sandbox_.writeCollection("tb_report_data", {document(1000, 1, ",\"merge_seq\":\"12\""),
                                                document(2000, 2, ",\"merge_seq\":7"),
                                                document(3000, 3, ",\"merge_seq\":\"-3\""), document(4000, 4)});
    const auto result = shell(mergeSeqScript);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\n  acknowledged: true,\n  insertedId: null,\n  matchedCount: 2,\n  modifiedCount: 2,\n"
              "  upsertedCount: 0\n}\n");
    EXPECT_EQ(sandbox_.collection("tb_report_data"),
              (std::vector<std::string>{document(4000, 4), document(3000, 3, ",\"merge_seq\":-3"),
                                        document(2000, 2, ",\"merge_seq\":7"),
                                        document(1000, 1, ",\"merge_seq\":12")}));
    EXPECT_NE(shell(mergeSeqScript).out.find("matchedCount: 0"), std::string::npos);
}

TEST_F(MongoshDouble, LeavesMergeSeqAloneWhenATextIsNoInteger) {
    const std::vector<std::string> docs{document(1000, 1, ",\"merge_seq\":\"12\""),
                                        document(2000, 2, ",\"merge_seq\":\"12a\"")};
    sandbox_.writeCollection("tb_report_data", docs);
    const auto before = sandbox_.collection("tb_report_data");
    const auto result = shell(mergeSeqScript);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("MongoServerError"), std::string::npos);
    EXPECT_EQ(sandbox_.collection("tb_report_data"), before);
}

TEST_F(MongoshDouble, RefusesWrongLoginsAndUnknownScripts) {
    sandbox_.writeCollection("tb_audit_log", {document(1000, 1)});
    const auto badLogin = sandbox_.runShell(
        "mongosh 127.0.0.1:8825/qornosql -u mongouser -p wrong --quiet --eval 'db.tb_audit_log.drop()' ");
    EXPECT_EQ(badLogin.exitStatus, 1);
    EXPECT_EQ(badLogin.out, "");
    EXPECT_EQ(badLogin.err, "MongoServerError: Authentication failed.\n");
    EXPECT_TRUE(sandbox_.collection("tb_audit_log").has_value());

    const auto otherDatabase = sandbox_.runShell(
        "mongosh 127.0.0.1:8825/admin -u mongouser -p mongopass --quiet --eval 'db.tb_audit_log.drop()' ");
    EXPECT_EQ(otherDatabase.exitStatus, 1);

    // One blank too many is already another script.
    const auto unknown = shell("\"db.tb_audit_log.find({}, {_id: 1}).sort({_id:  1}).limit(1)\"");
    EXPECT_EQ(unknown.exitStatus, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_NE(unknown.err.find("does not know this script"), std::string::npos);
}

TEST_F(MongoshDouble, ChecksTheHostWhenATestNamesOne) {
    sandbox_.setEnv("QOR_MONGO_HOST", "10.0.0.5");
    const auto elsewhere = shell("'db.tb_audit_log.drop()' ");
    EXPECT_EQ(elsewhere.exitStatus, 1);
    EXPECT_NE(elsewhere.err.find("ECONNREFUSED 127.0.0.1:8825"), std::string::npos);
    const auto there = sandbox_.runShell(
        "mongosh 10.0.0.5:8825/qornosql -u mongouser -p mongopass --quiet --eval 'db.tb_audit_log.drop()' ");
    EXPECT_EQ(there.exitStatus, 0) << there.err;
}

}  // namespace
}  // namespace qortest

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "fake_host.h"
#include "log_capture.h"
#include "scoped_environment.h"
#include "scratch_directory.h"
#include "test_migrator.h"
#include "util/dates.h"

namespace {
using Lines = std::vector<std::string>;

std::string objectId(int n) {
    char text[32];
    std::snprintf(text, sizeof text, "%08x%016x", 0x65e1a000 - n, n);
    return text;
}

std::string idList(int count) {
    std::string list;
    for (int n = 0; n < count; ++n) list += objectId(n) + "\n";
    return list;
}

std::string rangeQuery(const std::string& upper, const std::string& lower) {
    return "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"" + upper +
           "\" }, \"$gte\": { \"$oid\": \"" + lower + "\" } } }'";
}

// The work files live below a scratch root, as on a server below "/".
class ObjectIdLoad : public ::testing::Test {
protected:
    ObjectIdLoad() { std::filesystem::create_directory(root.path() + "/tmp"); }

    std::string tempFile() const { return root.path() + "/tmp/oid_temp.txt"; }
    std::string listFile() const { return root.path() + "/tmp/oid_list.txt"; }

    std::unique_ptr<OlapMigrator> migrator(const TestRun& run = {}) {
        return makeTestMigrator(fake, run);
    }

    ScratchDirectory root;
    ScopedEnvironment rooted{"QOROLAPMIGRATE_ROOT", root.path()};
    FakeHost fake;
};

TEST_F(ObjectIdLoad, ListExportWithoutBoundsTakesWhatIsNewerThanTheFloor) {
    root.write("tmp/oid_temp.txt", "{\"_id\":{\"$oid\":\"" + objectId(0) +
                                       "\"}}\nexported 2 records\n{\"_id\":{\"$oid\":\"" +
                                       objectId(1) + "\"}}\n");
    const auto context = migrator();

    EXPECT_EQ(context->exportObjectIdList("tb_base_report_data", "", ""), 3);
    EXPECT_EQ(readWholeFile(listFile()), objectId(0) + "\n" + objectId(1) + "\n");
    ASSERT_EQ(fake.commands().size(), 1u);
    EXPECT_EQ(fake.commands()[0],
              "mongoexport --host mongo.test:8825 --collection=tb_base_report_data --db=qornosql "
              "-u muser -p mpass --authenticationDatabase qornosql --sort='{ \"_id\": -1 }' "
              "--query '{ \"_id\": {  \"$gt\": { \"$oid\": \"" +
                  makeObjectIdFromTime(fake.clock - 63'244'800) +
                  "\" } } }' --fields _id --type=json --quiet > " + tempFile());
}

TEST_F(ObjectIdLoad, ListExportWithBoundsTakesBothInclusively) {
    const auto context = migrator();
    EXPECT_EQ(context->exportObjectIdList("tb_base_report_data", objectId(9), objectId(2)), 0);
    ASSERT_EQ(fake.commands().size(), 1u);
    EXPECT_NE(fake.commands()[0].find("--query '{ \"_id\": { \"$lte\": { \"$oid\": \"" + objectId(2) +
                                      "\" }, \"$gte\": { \"$oid\": \"" + objectId(9) + "\" } } }'"),
              std::string::npos)
        << fake.commands()[0];
}

TEST_F(ObjectIdLoad, ListExportFailuresAreNotAnEmptyList) {
    root.write("tmp/oid_temp.txt", "{\"_id\":{\"$oid\":\"" + objectId(0) + "\"}}\n");
    fake.answer("mongoexport", "", 1);
    {
        const auto context = migrator();
        StdoutCapture out;
        EXPECT_EQ(context->exportObjectIdList("tb_base_report_data", "", ""), -1);
        EXPECT_EQ(out.messages(),
                  (Lines{"tb_base_report_data ObjectId list export failed (mongoexport exit 1)"}));
    }

    std::filesystem::remove_all(root.path() + "/tmp");
    const auto context = migrator();
    StdoutCapture out;
    EXPECT_EQ(context->exportObjectIdList("tb_base_report_data", "", ""), -1);
    EXPECT_EQ(out.messages(), (Lines{"Cannot write the work file " + tempFile()}));
    EXPECT_EQ(fake.commandsContaining("mongoexport").size(), 1u);
}

class ObjectIdBatches : public ObjectIdLoad {
protected:
    bool load(int ids, const TestRun& run, Lines& messages) {
        root.write("tmp/oid_list.txt", idList(ids));
        root.write("tmp/oid_temp.txt", "exporter output\n");
        const auto context = migrator(run);
        StdoutCapture out;
        const bool moved = context->tb_base_report_data_migration("tb_base_report_data");
        messages = out.messages();
        return moved;
    }
    static std::string completed(int newest, int oldest) {
        return "OID : " + objectId(oldest) + " ~ " + objectId(newest) + " migration completed";
    }
    std::vector<std::string> pipelines() const { return fake.commandsContaining("mongoexport"); }
};

TEST_F(ObjectIdBatches, OnePipelinePerBatchBoundedByItsFirstAndLastId) {
    TestRun run;
    run.batchCount = 50;
    Lines messages;
    EXPECT_TRUE(load(120, run, messages));

    ASSERT_EQ(pipelines().size(), 3u);
    EXPECT_NE(pipelines()[0].find(rangeQuery(objectId(0), objectId(49))), std::string::npos);
    EXPECT_NE(pipelines()[1].find(rangeQuery(objectId(50), objectId(99))), std::string::npos);
    EXPECT_NE(pipelines()[2].find(rangeQuery(objectId(100), objectId(119))), std::string::npos);
    ASSERT_EQ(messages.size(), 9u);
    EXPECT_EQ(messages[2], completed(0, 49));
    EXPECT_EQ(messages[8], completed(100, 119));
    EXPECT_TRUE(fake.commandsContaining("free -b").empty());
    EXPECT_TRUE(fake.sleeps().empty());
    EXPECT_FALSE(fileExists(tempFile()));
    EXPECT_FALSE(fileExists(listFile()));
}

TEST_F(ObjectIdBatches, ExactMultipleAndSingleIdBatches) {
    TestRun run;
    run.batchCount = 50;
    Lines messages;
    EXPECT_TRUE(load(100, run, messages));
    EXPECT_EQ(pipelines().size(), 2u);

    run.batchCount = 1;
    EXPECT_TRUE(load(3, run, messages));
    ASSERT_EQ(pipelines().size(), 5u);
    for (int n = 0; n < 3; ++n) {
        EXPECT_NE(pipelines()[2 + n].find(rangeQuery(objectId(n), objectId(n))), std::string::npos);
    }
    EXPECT_EQ(messages.back(), completed(2, 2));
}

TEST_F(ObjectIdBatches, MemoryGuardBeforeEveryBatchOnlyWhenALimitWasGiven) {
    fake.answer("free -b", "8000000000\n");
    fake.answer("MemoryTracking", "7000000000\n");
    TestRun run;
    run.batchCount = 50;
    run.memoryLimitSet = 1;
    Lines messages;
    EXPECT_TRUE(load(120, run, messages));

    Lines order;
    for (const std::string& command : fake.commands()) {
        if (command.find("free -b") != std::string::npos) order.push_back("guard");
        if (command.find("mongoexport") != std::string::npos) order.push_back("batch");
    }
    EXPECT_EQ(order, (Lines{"guard", "batch", "guard", "batch", "guard", "batch"}));
}

TEST_F(ObjectIdBatches, FailedBatchIsNamedAndTheRestStillRun) {
    fake.pipelineEnds(rangeQuery(objectId(50), objectId(99)), 0, 4);
    TestRun run;
    run.batchCount = 50;
    Lines messages;
    EXPECT_FALSE(load(120, run, messages));

    EXPECT_EQ(pipelines().size(), 3u);
    ASSERT_EQ(messages.size(), 10u);
    EXPECT_EQ(messages[5],
              "tb_base_report_data table migration failed (mongoexport exit 0, clickhouse-client exit 4)");
    EXPECT_EQ(messages[6], "OID : " + objectId(99) + " ~ " + objectId(50) + " migration failed");
    EXPECT_EQ(messages[9], completed(100, 119));
}

TEST_F(ObjectIdBatches, EmptyOrMissingList) {
    Lines messages;
    EXPECT_TRUE(load(0, {}, messages));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(pipelines().empty());
    EXPECT_FALSE(fileExists(tempFile()));
    EXPECT_FALSE(fileExists(listFile()));

    const auto context = migrator();
    StdoutCapture out;
    EXPECT_FALSE(context->tb_base_report_data_migration("tb_base_report_data"));
    EXPECT_EQ(out.messages(), (Lines{"Cannot read the work file " + listFile()}));
    EXPECT_TRUE(pipelines().empty());
}
}  // namespace

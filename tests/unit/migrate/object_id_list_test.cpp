#include "migrate/object_id_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "scratch_directory.h"

namespace {
// Twenty-four hex digits that differ for every n, newest first when n grows.
std::string objectId(int n) {
    char text[32];
    std::snprintf(text, sizeof text, "%08x%016x", 0x65e1a000 - n, n);
    return text;
}

std::string exportLine(int n) { return "{\"_id\":{\"$oid\":\"" + objectId(n) + "\"}}\n"; }

TEST(ExtractObjectIds, WritesOneIdPerLineAndCountsEveryInputLine) {
    ScratchDirectory dir;
    const std::string input = dir.write("oid_temp.txt",
                                        exportLine(1) +
                                        "2024-03-01T00:00:00.000+0000\tconnected to: mongodb://x\n" +
                                        "\n" +
                                        "{\"_id\":{\"$oid\":\"unterminated}}\n" +
                                        "{\"_id\":{\"$oid\"}}\n" +
                                        exportLine(2) +
                                        "{\"_id\":{\"$oid\":\"" + objectId(3) + "\"},\"n\":3}");
    const std::string output = dir.path() + "/oid_list.txt";

    EXPECT_EQ(extractObjectIds(input, output), 7);
    EXPECT_EQ(readWholeFile(output),
              objectId(1) + "\n" + objectId(2) + "\n" + objectId(3) + "\n");
}

TEST(ExtractObjectIds, StreamsAcrossBlocksAndThroughVeryLongLines) {
    ScratchDirectory dir;
    std::string input;
    std::string expected;
    for (int n = 0; n < 60000; ++n) {
        input += exportLine(n);
        expected += objectId(n) + "\n";
    }
    // Longer than any read block: the line must still be seen whole.
    input += "{\"pad\":\"" + std::string(3 << 20, 'x') + "\",\"_id\":{\"$oid\":\"" + objectId(99999) +
             "\"}}\n";
    expected += objectId(99999) + "\n";
    const std::string inputPath = dir.write("oid_temp.txt", input);
    const std::string output = dir.path() + "/oid_list.txt";

    EXPECT_EQ(extractObjectIds(inputPath, output), 60001);
    EXPECT_TRUE(readWholeFile(output) == expected);
}

TEST(ExtractObjectIds, UnreadableInputGivesZeroAndAnEmptyList) {
    ScratchDirectory dir;
    const std::string output = dir.write("oid_list.txt", objectId(1) + "\n");

    EXPECT_EQ(extractObjectIds(dir.path() + "/missing.txt", output), 0);
    EXPECT_EQ(readWholeFile(output), "");
}

TEST(ExtractObjectIds, UnwritableListIsAFailureNamingTheFile) {
    ScratchDirectory dir;
    const std::string input = dir.write("oid_temp.txt", exportLine(1));
    const std::string output = dir.path() + "/no-such-dir/oid_list.txt";

    ::testing::internal::CaptureStdout();
    EXPECT_EQ(extractObjectIds(input, output), -1);
    const std::string log = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("[LOG][extractObjectIds:"), std::string::npos) << log;
    EXPECT_NE(log.find("Cannot write the work file " + output), std::string::npos) << log;
}

std::vector<ObjectIdBatch> readAll(const std::string& list, std::int32_t batchCount) {
    std::istringstream stream(list);
    ObjectIdBatchReader reader(stream, batchCount);
    std::vector<ObjectIdBatch> batches;
    ObjectIdBatch batch;
    while (reader.next(batch)) batches.push_back(batch);
    return batches;
}

std::string idList(int count) {
    std::string list;
    for (int n = 0; n < count; ++n) list += objectId(n) + "\n";
    return list;
}

// The batch bounds themselves show in object_id_load_test.cpp, where each
// batch becomes one export; here the sizes and awkward lists.
TEST(ObjectIdBatchReader, CountsEachBatchAndCopesWithOddLists) {
    const std::vector<ObjectIdBatch> batches = readAll(idList(120), 50);
    ASSERT_EQ(batches.size(), 3u);
    EXPECT_EQ(batches[0].size, 50);
    EXPECT_EQ(batches[2].size, 20);
    // A batch count that the tuning check would repair still makes progress.
    EXPECT_EQ(readAll(idList(2), 0).size(), 2u);
    EXPECT_TRUE(readAll("", 50).empty());
    const std::vector<ObjectIdBatch> gaps =
        readAll("\n" + objectId(0) + "\n\n" + objectId(1) + "\n\n", 2);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].size, 2);
    EXPECT_EQ(gaps[0].upper, objectId(0));
    EXPECT_EQ(gaps[0].lower, objectId(1));
}
}  // namespace

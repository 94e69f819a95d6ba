#include "mongo_fixture.h"

#include <gtest/gtest.h>

namespace qortest {
namespace {

TEST(ObjectIds, CarryTheirSecondAndSortByTime) {
    EXPECT_EQ(objectIdAt(0x65920080, 1), "659200805f3c2a1b9d000001");
    EXPECT_EQ(smallestObjectIdAt(0x65920080), "659200800000000000000000");
    EXPECT_EQ(objectIdSeconds("659200805f3c2a1b9d000001"), 0x65920080);
    EXPECT_LT(smallestObjectIdAt(100), objectIdAt(100, 0));
    EXPECT_LT(objectIdAt(100, 0xffffff), smallestObjectIdAt(101));
}

TEST(UtcTimes, ConvertBothWays) {
    EXPECT_EQ(epochUtc("2024-01-01 00:00:00"), 1704067200);
    EXPECT_EQ(epochUtc("2024-01-01"), 1704067200);
    EXPECT_EQ(isoUtc(1709287200), "2024-03-01T10:00:00Z");
    EXPECT_THROW(epochUtc("yesterday"), std::invalid_argument);
}

TEST(GeneratedDocuments, SpreadEvenlyWithTheRequestedFields) {
    GeneratedDocuments spec;
    spec.count = 3;
    spec.oldestSeconds = epochUtc("2024-03-01 00:00:00");
    spec.newestSeconds = epochUtc("2024-03-03 00:00:00");
    spec.createTime = true;
    spec.createTimeShift = 3600;
    spec.dataDate = true;
    spec.mergeSeq = MergeSeq::text;
    const auto lines = generateDocuments(spec);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1],
              "{\"_id\":{\"$oid\":\"" + objectIdAt(epochUtc("2024-03-02 00:00:00"), 2) +
                  "\"},\"create_time\":{\"$date\":\"2024-03-02T01:00:00Z\"},"
                  "\"data_date\":{\"$date\":\"2024-03-02T00:00:00Z\"},\"merge_seq\":\"2\",\"n\":2}");
    EXPECT_EQ(objectIdSeconds(documentObjectId(lines[0])), spec.oldestSeconds);
    EXPECT_EQ(objectIdSeconds(documentObjectId(lines[2])), spec.newestSeconds);
}

TEST(GeneratedDocuments, KeepTheirIdsDistinctWithinOneSecond) {
    GeneratedDocuments spec;
    spec.count = 4;
    spec.oldestSeconds = spec.newestSeconds = 1000;
    spec.mergeSeq = MergeSeq::number;
    const auto lines = generateDocuments(spec);
    EXPECT_NE(documentObjectId(lines[0]), documentObjectId(lines[3]));
    EXPECT_NE(lines[3].find("\"merge_seq\":4,"), std::string::npos);
}

TEST(CollectionFiles, StoreNewestFirstAndRefuseDuplicateIds) {
    const auto file = std::filesystem::temp_directory_path() /
                      ("qor-fixture-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                       "/tb_x.jsonl");
    const std::string older = "{\"_id\":{\"$oid\":\"" + objectIdAt(10) + "\"},\"n\":1}";
    const std::string newer = "{\"_id\":{\"$oid\":\"" + objectIdAt(20) + "\"},\"n\":2}";
    writeCollectionFile(file, {older, newer + "\n"});
    EXPECT_EQ(readCollectionFile(file), (std::vector<std::string>{newer, older}));
    EXPECT_THROW(writeCollectionFile(file, {older, older}), std::invalid_argument);
    EXPECT_THROW(writeCollectionFile(file, {"{\"n\":1}"}), std::invalid_argument);
    EXPECT_FALSE(readCollectionFile(file.parent_path() / "missing.jsonl").has_value());
    std::filesystem::remove_all(file.parent_path());
}

}  // namespace
}  // namespace qortest

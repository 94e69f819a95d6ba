#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unistd.h>

#include "migrate/object_id_list.h"

TEST(ObjectIdList, BatchesRunNewestFirstAndSkipEmptyLines) {
    const struct {
        std::int32_t batchCount;
        std::size_t ids;
        std::vector<std::int32_t> sizes;
    } cases[] = {{50, 120, {50, 50, 20}}, {50, 100, {50, 50}}, {1, 2, {1, 1}}, {0, 2, {1, 1}}, {5, 0, {}}};
    for (const auto& c : cases) {
        std::ostringstream text;
        for (std::size_t i = c.ids; i > 0; --i) text << "id" << i << "\n\n";
        std::istringstream list(text.str());
        ObjectIdBatchReader reader(list, c.batchCount);
        ObjectIdBatch batch;
        std::vector<std::int32_t> sizes;
        std::size_t next = c.ids;
        while (reader.next(batch)) {
            sizes.push_back(batch.size);
            EXPECT_EQ(batch.upper, "id" + std::to_string(next));
            next -= static_cast<std::size_t>(batch.size);
            EXPECT_EQ(batch.lower, "id" + std::to_string(next + 1));
        }
        EXPECT_EQ(sizes, c.sizes) << c.batchCount << " " << c.ids;
    }
}

// Enough lines for several reads of the extractor's 1 MiB blocks, each line
// split between two of them somewhere; a line without an id counts too.
TEST(ObjectIdList, ExtractionKeepsEveryIdAcrossItsReads) {
    const std::string input = testing::TempDir() + "qor-ids-" + std::to_string(getpid()), output = input + ".list";
    std::string exported = "{\"_id\":{\"broken\":1}}\n", expected;
    for (int i = 100000; i < 160000; ++i) {
        const std::string id = "65e1a720a1b2c3d4e5" + std::to_string(i);
        exported += "{\"_id\":{\"$oid\":\"" + id + "\"}}\n";
        expected += id + "\n";
    }
    std::ofstream(input) << exported << "{\"_id\":{\"$oid\":\"last\"}}";
    EXPECT_EQ(extractObjectIds(input, output), 60002);
    std::ostringstream list;
    list << std::ifstream(output).rdbuf();
    // Not EXPECT_EQ: gtest's diff of two strings of megabytes takes gigabytes.
    EXPECT_TRUE(list.str() == expected + "last\n");
    std::remove(input.c_str()), std::remove(output.c_str());
}

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <unistd.h>

#include "migrate/object_id_list.h"

TEST(ObjectIdList, BatchesRunNewestFirstAndStopAtALineThatIsNoObjectId) {
    const struct {
        std::int32_t batchCount;
        std::size_t ids;
        std::vector<std::int32_t> sizes;
        std::optional<std::string> bad;  // a line after the ids
    } cases[] = {{50, 120, {50, 50, 20}}, {50, 100, {50, 50}}, {1, 2, {1, 1}}, {0, 2, {1, 1}}, {5, 0, {}},
                 {5, 7, {5}, ""}, {5, 7, {5}, "0000000000000000000000O1"}, {5, 5, {5}, "65E1A720A1B2C3D4E5000001"},
                 {5, 7, {5}, "65e1a720a1b2c3d4e5000001 "}};
    const auto id = [](std::size_t i) {
        char text[25];
        std::snprintf(text, sizeof text, "%024zx", i);
        return std::string(text);
    };
    for (const auto& c : cases) {
        std::ostringstream text;
        for (std::size_t i = c.ids; i > 0; --i) text << id(i) << "\n";
        if (c.bad) text << *c.bad << "\n" << id(0) << "\n";
        std::istringstream list(text.str());
        ObjectIdBatchReader reader(list, c.batchCount);
        ObjectIdBatch batch;
        std::vector<std::int32_t> sizes;
        std::size_t next = c.ids;
        while (reader.next(batch)) {
            sizes.push_back(batch.size);
            EXPECT_EQ(batch.upper, id(next));
            next -= static_cast<std::size_t>(batch.size);
            EXPECT_EQ(batch.lower, id(next + 1));
        }
        EXPECT_EQ(sizes, c.sizes) << c.batchCount << " " << c.ids;
        EXPECT_EQ(reader.badLine(), c.bad ? static_cast<std::int64_t>(c.ids) + 1 : 0) << c.bad.value_or("");
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

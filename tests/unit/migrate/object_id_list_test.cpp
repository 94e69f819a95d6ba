#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "migrate/object_id_list.h"

namespace {
std::string scratch(const char* name) { return ::testing::TempDir() + name; }

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}
}  // namespace

TEST(ObjectIdList, ExtractsTheIdOfEveryLineThatHasOne) {
    const std::string input = scratch("oid_temp.txt");
    const std::string output = scratch("oid_list.txt");
    std::ofstream(input) << "{\"_id\":{\"$oid\":\"659200800000000000000002\"}}\n"
                         << "no id here\n"
                         << "{\"_id\":{\"$oid\":\"65920080000000000000000\n"
                         << "{\"_id\":{\"$oid\":\"659200800000000000000001\"}}";
    EXPECT_EQ(extractObjectIds(input, output), 4);
    EXPECT_EQ(readFile(output), "659200800000000000000002\n659200800000000000000001\n");
    EXPECT_EQ(extractObjectIds(scratch("missing.txt"), output), 0);
    EXPECT_EQ(readFile(output), "");
    EXPECT_EQ(extractObjectIds(input, scratch("no/such/dir/list.txt")), -1);
    std::remove(input.c_str());
}

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

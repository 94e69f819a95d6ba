#include <gtest/gtest.h>

#include <sstream>

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

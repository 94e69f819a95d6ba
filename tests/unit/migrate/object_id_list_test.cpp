#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unistd.h>

#include "migrate/object_id_list.h"

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

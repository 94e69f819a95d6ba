// The figures an administrator decides a migration on: MongoDB's sizes, du's
// kilobytes and the ClickHouse file system in, the summary and verdict out.

#include <gtest/gtest.h>

#include <sstream>

#include "../fake_host.h"
#include "inspect/check.h"

namespace {
const std::string possible = "\x1b[32mMigration is possible !!\x1b[0m",
                  notPossible = "\x1b[31mMigration is not possible. Please clean up the disk\x1b[0m";
}  // namespace

// MongoDB holds 2 MiB (du: 2048 KiB) with 3,000,000 bytes in its largest
// collection, so it needs 0.7 * 2097152 + 3000000 = 4468006 bytes.
TEST(Check, TheVerdictFollowsTheFiguresAndNeedsEveryOne) {
    const struct {
        const char* what;
        std::pair<std::string, int> second, du;
        std::optional<FileSystemFigures> figures;
        bool judged;
        std::vector<std::string> lines;  // each printed, in this order, and the verdict last
    } cases[] = {
        {"room", {"3000000\n", 0}, {"2048\t/tevfs/nosql\n", 0}, FileSystemFigures{9000000, 1, 8000000, 4468007}, true,
         {"tb_b collection size check : 2.86 MB (3000000 bytes)", "Disk total capacity : 8.58 MB",
          "Disk available size : 4.26 MB", "MongoDB used size   : 2.00 MB",
          "Capacity required for migration: 4.26 MB (1.40 MB + 2.86 MB)", possible}},
        {"exactly the room needed, root's blocks free", {"3000000\n", 0}, {"2048\n", 0},
         FileSystemFigures{9000000, 1, 8000000, 4468006}, true, {notPossible}},
        {"blocks of 4 KiB", {"3000000\n", 0}, {"2048\n", 0}, FileSystemFigures{4096, 4096, 2048, 1092}, true,
         {"Disk total capacity : 16.00 MB", "Disk available size : 4.27 MB", possible}},
        {"zero blocks", {"3000000\n", 0}, {"2048\n", 0}, FileSystemFigures{0, 4096, 0, 0}, true,
         {"Disk total capacity : 0.00 B", notPossible}},
        {"no ClickHouse directory", {"3000000\n", 0}, {"2048\n", 0}, std::nullopt, true,
         {"Capacity required for migration: 4.26 MB (1.40 MB + 2.86 MB)"}},
        {"size unreadable", {"", 1}, {"2048\n", 0}, FileSystemFigures{9000000, 1, 8000000, 8000000}, false,
         {"tb_b collection size check : unreadable (mongosh exit 1)", "MongoDB largest collection size : 976.56 KB",
          "Migration capacity cannot be judged : 1 collection could not be sized"}},
        {"size not a number", {"MongoServerError: not found\n", 0}, {"2048\n", 0},
         FileSystemFigures{9000000, 1, 8000000, 8000000}, false,
         {"tb_b collection size check : unreadable reply",
          "Migration capacity cannot be judged : 1 collection could not be sized"}},
        {"du failed, a partial total printed", {"3000000\n", 0}, {"2048\t/tevfs/nosql\n", 1}, FileSystemFigures{9000000, 1, 8000000, 8000000}, false,
         {"Migration capacity cannot be judged : the MongoDB used size could not be measured"}},
    };
    for (const auto& c : cases) {
        FakeHost fake;
        fake.answers = {{"getCollection(\"tb_a\")", {"1000000\n", 0}}, {"getCollection(\"tb_b\")", c.second},
                        {"du -sL", c.du}};
        fake.figures = c.figures;
        testing::internal::CaptureStdout();
        EXPECT_EQ(checkMigrationCapacity({{{"qor", {"tb_a", "tb_b"}}}}, "/tevfs/clickhouse", {}, fake.host()),
                  c.judged) << c.what;
        std::istringstream printed(testing::internal::GetCapturedStdout());
        std::vector<std::string> lines;  // the expected ones, as far as they came in order
        for (std::string line; std::getline(printed, line);) {
            if (lines.size() < c.lines.size() && line == c.lines[lines.size()]) lines.push_back(line);
            if (line.find("Migration is") != std::string::npos && line != c.lines.back()) lines.push_back(line);
        }
        EXPECT_EQ(lines, c.lines) << c.what;
    }
}

#include "inspect/check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "app/catalogue.h"
#include "fake_host.h"
#include "scoped_environment.h"
#include "util/parsers.h"

namespace {
const std::string hyphens(56, '-');
constexpr std::uint64_t MB = 1024 * 1024;
constexpr std::uint64_t GB = 1024 * MB;

std::string sizeQueryFor(const std::string& name) {
    return "getCollection(\"" + name + "\").stats().storageSize";
}

struct Captured {
    std::string out;
    std::string err;
};

template <typename Action>
Captured capture(Action action) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    action();
    Captured captured;
    captured.err = ::testing::internal::GetCapturedStderr();
    captured.out = ::testing::internal::GetCapturedStdout();
    return captured;
}

class SizeCheck : public ::testing::Test {
protected:
    ~SizeCheck() override { migrationList = saved_; }

    void listCollections(const std::string& listFile) { migrationList = parseSectionList(listFile); }

    std::uint64_t largest = 0;
    Captured runCollectionCheck() {
        return capture([&] { largest = checkCollectionSize("10.0.0.5", "admin", "secret", host); });
    }
    Captured runCapacityCheck(const std::string& directory = "/data/clickhouse") {
        return capture(
            [&] { checkMigrationCapacity(directory, "10.0.0.5", "admin", "secret", host); });
    }

    FakeHost fake;
    Host host = fake.host();

private:
    ProductCatalogue saved_ = migrationList;
};

TEST(FormatBytes, TwoDecimalsAndUnitsInStepsOf1024UpToPetabytes) {
    EXPECT_EQ(formatBytes(0), "0.00 B");
    EXPECT_EQ(formatBytes(1023), "1023.00 B");
    EXPECT_EQ(formatBytes(1536), "1.50 KB");
    EXPECT_EQ(formatBytes(123456789), "117.74 MB");
    EXPECT_EQ(formatBytes(3 * GB * 1024), "3.00 TB");
    // The unit is chosen before rounding: just under 1 MB still reads in KB.
    EXPECT_EQ(formatBytes(MB - 1), "1024.00 KB");
    EXPECT_EQ(formatBytes(std::uint64_t{1} << 60), "1024.00 PB");
    EXPECT_EQ(formatBytes(std::numeric_limits<std::uint64_t>::max()), "16384.00 PB");
}

TEST_F(SizeCheck, ThreeCollectionsInListOrderThenSortedWithTotal) {
    listCollections("[zq]\ntb_small\ntb_empty\n[hux]\ntb_large\n");
    fake.answer(sizeQueryFor("tb_small"), "5242880\n");
    fake.answer(sizeQueryFor("tb_empty"), "");
    fake.answer(sizeQueryFor("tb_large"), "20971520\n");

    const Captured result = runCollectionCheck();

    EXPECT_EQ(result.out, hyphens + "\n"
                          "MongoDB collection size check start\n"
                          "tb_small collection size check : 5.00 MB (5242880 bytes)\n"
                          "tb_empty collection size check : 0 B\n"
                          "tb_large collection size check : 20.00 MB (20971520 bytes)\n" +
                              hyphens + "\n"
                              "\n"
                              "[Sorted Collections]\n"
                              "tb_large collection size check : 20.00 MB (20971520 bytes)\n"
                              "tb_small collection size check : 5.00 MB (5242880 bytes)\n"
                              "tb_empty collection size check : 0.00 B (0 bytes)\n"
                              "MongoDB collection size check end\n" +
                              hyphens + "\n" + "MongoDB collection total size : 25.00 MB\n" +
                              hyphens + "\n");
    EXPECT_EQ(largest, 20 * MB);
    EXPECT_EQ(result.err, "");
    const std::vector<std::string> expectedCommands = {
        "mongosh 10.0.0.5:8825/qornosql -u admin -p secret --quiet --eval "
        "'db.getCollection(\"tb_small\").stats().storageSize' ",
        "mongosh 10.0.0.5:8825/qornosql -u admin -p secret --quiet --eval "
        "'db.getCollection(\"tb_empty\").stats().storageSize' ",
        "mongosh 10.0.0.5:8825/qornosql -u admin -p secret --quiet --eval "
        "'db.getCollection(\"tb_large\").stats().storageSize' ",
    };
    EXPECT_EQ(fake.commands(), expectedCommands);
}

// Whatever the shell prints, the report stays readable and the total honest.
TEST_F(SizeCheck, RepliesOfEveryShape) {
    listCollections("[zq]\ntb_silent\ntb_zero\ntb_chatty\ntb_denied\ntb_negative\ntb_huge\n");
    fake.answer(sizeQueryFor("tb_silent"), "");
    fake.answer(sizeQueryFor("tb_zero"), "0\n");
    fake.answer(sizeQueryFor("tb_chatty"), "Current Mongosh Log ID: 1\n   2048 \n");
    fake.answer(sizeQueryFor("tb_denied"), "MongoServerError: Authentication failed.\n");
    fake.answer(sizeQueryFor("tb_negative"), "-4096\n");
    fake.answer(sizeQueryFor("tb_huge"), "99999999999999999999\n");

    const std::string out = runCollectionCheck().out;

    EXPECT_NE(out.find("tb_silent collection size check : 0 B\n"), std::string::npos);
    EXPECT_NE(out.find("tb_zero collection size check : 0.00 B (0 bytes)\n"), std::string::npos);
    EXPECT_NE(out.find("tb_chatty collection size check : 2.00 KB (2048 bytes)\n"), std::string::npos);
    for (const char* name : {"tb_denied", "tb_negative", "tb_huge"}) {
        EXPECT_NE(out.find(std::string(name) + " collection size check : unreadable reply\n"), std::string::npos)
            << name;
        EXPECT_NE(out.find(std::string(name) + " collection size check : 0.00 B (0 bytes)\n"), std::string::npos)
            << name;
    }
    EXPECT_NE(out.find("MongoDB collection total size : 2.00 KB\n"), std::string::npos);
    EXPECT_EQ(largest, 2048u);
}

TEST_F(SizeCheck, CollectionListedTwiceIsCountedTwice) {
    listCollections("[zq]\ntb_twice\ntb_twice\n[hux]\ntb_twice\n");
    fake.answer(sizeQueryFor("tb_twice"), "1024\n");

    const std::string out = runCollectionCheck().out;

    EXPECT_EQ(fake.commandsContaining(sizeQueryFor("tb_twice")).size(), 3u);
    const std::string line = "tb_twice collection size check : 1.00 KB (1024 bytes)\n";
    std::size_t count = 0;
    for (std::size_t at = out.find(line); at != std::string::npos; at = out.find(line, at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 6u);  // three in list order, three in the sorted list
    EXPECT_NE(out.find("MongoDB collection total size : 3.00 KB\n"), std::string::npos);
    EXPECT_EQ(largest, 1024u);
}

TEST_F(SizeCheck, TotalStopsAtTheLargest64BitValueInsteadOfWrapping) {
    // Three times the largest signed size passes 2^64; wrapping would show 8192.00 PB.
    listCollections("[zq]\ntb_a\ntb_b\ntb_c\n");
    fake.answer("stats().storageSize", "9223372036854775807\n");

    const std::string out = runCollectionCheck().out;

    EXPECT_NE(out.find("MongoDB collection total size : 16384.00 PB\n"), std::string::npos);
    EXPECT_EQ(largest, std::uint64_t{9223372036854775807});
}

TEST_F(SizeCheck, NameThatCouldEscapeTheScriptIsRefusedAndTheRestChecked) {
    listCollections("[zq]\ntb_ok\ntb_x\").drop();db.getCollection(\"tb_y\n");
    fake.answer(sizeQueryFor("tb_ok"), "1024\n");

    const std::string out = runCollectionCheck().out;

    ASSERT_EQ(fake.commands().size(), 1u);
    EXPECT_NE(fake.commands()[0].find(sizeQueryFor("tb_ok")), std::string::npos);
    EXPECT_NE(out.find("Refused collection name \"tb_x\").drop();db.getCollection(\"tb_y\""),
              std::string::npos);
    EXPECT_NE(out.find("MongoDB collection total size : 1.00 KB\n"), std::string::npos);
}

TEST_F(SizeCheck, EmptyListStillFramesTheReport) {
    listCollections("# nothing listed\n");

    const std::string out = runCollectionCheck().out;

    EXPECT_EQ(out, hyphens + "\nMongoDB collection size check start\n" + hyphens +
                       "\n\n[Sorted Collections]\nMongoDB collection size check end\n" + hyphens +
                       "\nMongoDB collection total size : 0.00 B\n" + hyphens + "\n");
    EXPECT_TRUE(fake.commands().empty());
}

TEST_F(SizeCheck, DirectorySizeIsDuKilobytesTimes1024) {
    fake.answer("du -sL /data/nosql", "204800\n");
    EXPECT_EQ(getDirectorySize("/data/nosql", host), 200 * MB);

    fake.answer("du -sL /data/lines", "12\n34\n");
    EXPECT_EQ(getDirectorySize("/data/lines", host), 12u * 1024);

    fake.answer("du -sL /data/missing", "");
    EXPECT_EQ(getDirectorySize("/data/missing", host), 0u);

    fake.answer("du -sL /data/garbled", "du: cannot read\n");
    EXPECT_EQ(getDirectorySize("/data/garbled", host), 0u);

    fake.answer("du -sL /data/enormous", "9223372036854775807\n");
    EXPECT_EQ(getDirectorySize("/data/enormous", host), std::numeric_limits<std::uint64_t>::max());
}

TEST(DirectorySize, CommandThatCannotStartGivesZeroAndADiagnostic) {
    Host unstartable;
    unstartable.readOutput = [](const std::string&, std::size_t,
                                const std::function<void(std::string_view)>&) {
        return ChildStatus{};
    };
    std::uint64_t size = 1;
    const Captured result = capture([&] { size = getDirectorySize("/data/nosql", unstartable); });
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(result.err, "Failed to run du command\n");
}

FileSystemFigures disk(std::uint64_t fragmentSize, std::uint64_t blocks,
                       std::uint64_t availableBlocks) {
    FileSystemFigures figures;
    figures.fragmentSize = fragmentSize;
    figures.blocks = blocks;
    figures.freeBlocks = availableBlocks;
    figures.availableBlocks = availableBlocks;
    return figures;
}

TEST_F(SizeCheck, SummaryWithGreenVerdictWhenTheDiskHasRoom) {
    ScopedEnvironment root("QOROLAPMIGRATE_ROOT", "/sandbox");
    listCollections("[zq]\ntb_big\ntb_other\n");
    fake.fileSystem = disk(4096, 200 * GB / 4096, 90 * GB / 4096);
    fake.answer("du -sL /sandbox/tevfs/nosql", "104857600\n");  // 100 GB in KB
    fake.answer(sizeQueryFor("tb_big"), "10737418240\n");
    fake.answer(sizeQueryFor("tb_other"), "1048576\n");

    const Captured result = runCapacityCheck();

    const std::string summary =
        "[Summary] \n"
        "Disk total capacity : 200.00 GB\n"
        "Disk available size : 90.00 GB\n"
        "MongoDB used size   : 100.00 GB\n"
        "MongoDB largest collection size : 10.00 GB\n"
        "Capacity required for migration: 80.00 GB (70.00 GB + 10.00 GB)\n"
        "  - Capacity = (MongoDB Used size * 0.7) + MongoDB lagest collection size\n"
        "\n"
        "\x1b[32mMigration is possible !!\x1b[0m\n" +
        hyphens + "\n";
    const std::string sizeBlockEnd = "MongoDB collection total size : 10.00 GB\n" + hyphens + "\n";
    EXPECT_NE(result.out.find(sizeBlockEnd + summary), std::string::npos) << result.out;
    EXPECT_EQ(result.out.size(), result.out.find(summary) + summary.size());
    EXPECT_EQ(result.err, "");
    ASSERT_EQ(fake.commands().size(), 3u);
    EXPECT_NE(fake.commands()[0].find("du -sL /sandbox/tevfs/nosql"), std::string::npos);
}

TEST_F(SizeCheck, RoomExactlyEqualToTheNeedIsNotEnough) {
    listCollections("[zq]\ntb_only\n");
    fake.answer("du -sL", "1\n");                   // 1024 bytes, 70 % is 716 after truncation
    fake.answer(sizeQueryFor("tb_only"), "1000\n");  // needed: 1716 bytes

    fake.fileSystem = disk(1, 1'000'000, 1716);
    const std::string equal = runCapacityCheck().out;
    EXPECT_NE(equal.find("Capacity required for migration: 1.68 KB (716.00 B + 1000.00 B)\n"),
              std::string::npos);
    EXPECT_NE(equal.find("\x1b[31mMigration is not possible. Please clean up the disk\x1b[0m\n"),
              std::string::npos);
    EXPECT_EQ(equal.find("Migration is possible"), std::string::npos);

    fake.fileSystem = disk(1, 1'000'000, 1717);
    const std::string oneByteMore = runCapacityCheck().out;
    EXPECT_NE(oneByteMore.find("\x1b[32mMigration is possible !!\x1b[0m\n"), std::string::npos);
    EXPECT_EQ(oneByteMore.find("Migration is not possible"), std::string::npos);
}

TEST_F(SizeCheck, RequiredCapacityStopsAtTheLargest64BitValue) {
    // 70 % of the saturated used size plus a largest collection of 2^63 - 1
    // passes 2^64; wrapped, the need would look smaller than this disk.
    listCollections("[zq]\ntb_vast\n");
    fake.answer("du -sL", "9223372036854775807\n");
    fake.answer(sizeQueryFor("tb_vast"), "9223372036854775807\n");
    fake.fileSystem = disk(1, std::numeric_limits<std::uint64_t>::max(),
                           std::numeric_limits<std::uint64_t>::max() / 2);

    const std::string out = runCapacityCheck().out;

    EXPECT_NE(out.find("Capacity required for migration: 16384.00 PB (11468.80 PB + 8192.00 PB)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Migration is not possible"), std::string::npos);
}

TEST_F(SizeCheck, MissingClickHouseDirectoryGivesTheMongoOnlyForm) {
    ScopedEnvironment root("QOROLAPMIGRATE_ROOT", "/sandbox");
    listCollections("[zq]\ntb_one\n");
    fake.fileSystem.reset();
    fake.answer("du -sL /sandbox/tevfs/nosql", "1024\n");
    fake.answer(sizeQueryFor("tb_one"), "1048576\n");

    const Captured result = runCapacityCheck("/sandbox/tevfs/clickhouse");

    EXPECT_EQ(result.err,
              "Warn: /sandbox/tevfs/clickhouse directory is not searched, so only mongodb "
              "information is checked.\n");
    const std::string tail =
        "MongoDB collection total size : 1.00 MB\n" + hyphens +
        "\n"
        "Only mongodb information is output because \"/tevfs/clickhouse\" directory is not "
        "searched.\n"
        "\n"
        "[Summary] \n"
        "MongoDB used size   : 1.00 MB\n"
        "MongoDB largest collection size : 1.00 MB\n"
        "Capacity required for migration: 1.70 MB (716.80 KB + 1.00 MB)\n"
        "  - Capacity = (MongoDB Used size * 0.7) + MongoDB lagest collection size\n"
        "\n" +
        hyphens + "\n";
    ASSERT_GE(result.out.size(), tail.size());
    EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail) << result.out;
    EXPECT_EQ(result.out.find("Disk "), std::string::npos);
    EXPECT_EQ(result.out.find("Migration is"), std::string::npos);
}
}  // namespace

#include "exec/host.h"

#include <gtest/gtest.h>

#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "scratch_directory.h"

namespace {
std::vector<std::string> piecesOf(const std::string& command, std::size_t pieceSize,
                                  ChildStatus* status = nullptr) {
    std::vector<std::string> pieces;
    const ChildStatus ended = realHost().readOutput(
        command, pieceSize, [&pieces](std::string_view piece) { pieces.emplace_back(piece); });
    if (status != nullptr) *status = ended;
    return pieces;
}
}  // namespace

TEST(Host, ReadOutputHandsOnPiecesTheWayLineReadsCutThem) {
    EXPECT_EQ(piecesOf("printf 'abcdefghij\\nk'", 8),
              (std::vector<std::string>{"abcdefg", "hij\n", "k"}));
    EXPECT_EQ(piecesOf("printf 'a\\n\\nb\\n'", 64), (std::vector<std::string>{"a\n", "\n", "b\n"}));
    EXPECT_TRUE(piecesOf("true", 64).empty());
    // Standard error is not read: it stays the tool's own.
    EXPECT_EQ(piecesOf("echo hidden >&2; echo shown", 64), (std::vector<std::string>{"shown\n"}));
}

TEST(Host, ExitStatusesComeBackAsCodes) {
    ChildStatus status;
    piecesOf("echo partial; exit 9", 64, &status);
    EXPECT_EQ(status.code, 9);
    EXPECT_TRUE(status.started());
    EXPECT_FALSE(status.succeeded());

    const Host& host = realHost();
    EXPECT_TRUE(host.run("true").succeeded());
    const ChildStatus exited = host.run("exit 3");
    EXPECT_EQ(exited.code, 3);
    // The raw wait status is what an operator sees in the update failure line.
    EXPECT_EQ(exited.raw, 3 * 256);
    EXPECT_EQ(host.run("kill -TERM $$").code, 128 + 15);
    EXPECT_EQ(host.run("no-such-program-here 2>/dev/null").code, 127);
}

TEST(Host, AStatusThatIsNoWaitStatusMeansNotStarted) {
    const ChildStatus status = childStatusFromWait(-1);
    EXPECT_FALSE(status.started());
    EXPECT_FALSE(status.succeeded());
    EXPECT_EQ(status.code, -1);
    EXPECT_EQ(status.raw, -1);
}

TEST(Host, PipelineReportsTheStatusOfBothSides) {
    const Host& host = realHost();
    PipelineStatus status = host.runPipeline("exit 3", "cat >/dev/null; exit 5");
    EXPECT_EQ(status.producer.code, 3);
    EXPECT_EQ(status.consumer.code, 5);

    status = host.runPipeline("kill -KILL $$", "cat >/dev/null");
    EXPECT_EQ(status.producer.code, 128 + 9);
    EXPECT_TRUE(status.consumer.succeeded());

    // A consumer that stops reading ends an endless producer through SIGPIPE,
    // which only happens when the tool holds no end of the pipe itself.
    status = host.runPipeline("yes", "head -n 1 >/dev/null");
    EXPECT_EQ(status.producer.code, 128 + 13);
    EXPECT_TRUE(status.consumer.succeeded());
}

TEST(Host, PipelineDataGoesFromProducerToConsumerOnly) {
    ScratchDirectory scratch;
    const std::string received = scratch.file("received");
    testing::internal::CaptureStdout();
    const PipelineStatus status =
        realHost().runPipeline("printf 'one\\ntwo\\n'", "cat > '" + received + "'");
    const std::string seenByTool = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(status.producer.succeeded());
    EXPECT_TRUE(status.consumer.succeeded());
    EXPECT_EQ(readWholeFile(received), "one\ntwo\n");
    EXPECT_EQ(seenByTool, "");
}

TEST(Host, ChildOutputFollowsWhatTheToolPrintedBefore) {
    const Host& host = realHost();
    testing::internal::CaptureStdout();
    std::cout << "before run ";
    host.run("echo child");
    std::cout << "before pipeline ";
    host.runPipeline("echo piped", "cat");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "before run child\nbefore pipeline piped\n");
}

TEST(Host, ClockReadsEpochSeconds) {
    const std::int64_t before = std::time(nullptr);
    const std::int64_t now = realHost().now();
    const std::int64_t after = std::time(nullptr);
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}

TEST(Host, FileSystemFiguresOfAnExistingDirectoryOnly) {
    ScratchDirectory scratch;
    const std::optional<FileSystemFigures> figures = realHost().fileSystem(scratch.path());
    ASSERT_TRUE(figures.has_value());
    EXPECT_GT(figures->blocks, 0u);
    EXPECT_GT(figures->fragmentSize, 0u);
    EXPECT_LE(figures->freeBlocks, figures->blocks);
    EXPECT_LE(figures->availableBlocks, figures->freeBlocks);
    EXPECT_FALSE(realHost().fileSystem(scratch.file("missing")).has_value());
}

#include "app/pid_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "scoped_environment.h"
#include "scratch_directory.h"

namespace {
class PidFileTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(root_.path() + "/var/run/qor"); }
    std::string pidPath() const { return root_.path() + "/var/run/qor/qorolapmigrate.pid"; }
    bool exists() const { return std::filesystem::exists(pidPath()); }

    ScratchDirectory root_;
    ScopedEnvironment rootVariable_{"QOROLAPMIGRATE_ROOT", root_.path()};
};

pid_t finishedProcessId() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST_F(PidFileTest, WritesExactlyTheDigitsAndRefusesASecondClaim) {
    EXPECT_FALSE(isAlreadyRunning());
    ASSERT_EQ(writePidFile(), PidFileWrite::written);
    EXPECT_EQ(readWholeFile(pidPath()), std::to_string(getpid()));
    EXPECT_TRUE(isAlreadyRunning());
    EXPECT_EQ(writePidFile(), PidFileWrite::taken);
    removePidFile();
    EXPECT_FALSE(exists());
}

TEST_F(PidFileTest, StaleOrMeaninglessFilesAreRemoved) {
    for (const std::string& content :
         {std::to_string(finishedProcessId()), std::string("abc"), std::string(""),
          std::string("0"), std::string("-1")}) {
        root_.write("var/run/qor/qorolapmigrate.pid", content);
        EXPECT_FALSE(isAlreadyRunning()) << content;
        EXPECT_FALSE(exists()) << content;
    }
}

// Many runs claiming at the same moment, each alive until all have tried,
// as two "start" commands typed together would be: exactly one may win,
// whether the way was free or held by the stale file of a killed run, and no
// claimant may take another's fresh file for a stale one.
TEST_F(PidFileTest, OfManySimultaneousClaimsExactlyOneWins) {
    constexpr int claimants = 64;
    for (int round = 0; round < 20; ++round) {
        if (round % 2 == 1) root_.write("var/run/qor/qorolapmigrate.pid", std::to_string(finishedProcessId()));
        int start[2];
        int results[2];
        int release[2];
        ASSERT_EQ(pipe(start), 0);
        ASSERT_EQ(pipe(results), 0);
        ASSERT_EQ(pipe(release), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < claimants; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                close(start[1]);
                close(results[0]);
                close(release[1]);
                char go = 0;
                if (read(start[0], &go, 1) < 0) _exit(2);
                char won = 'n';
                if (!isAlreadyRunning() && writePidFile() == PidFileWrite::written) won = 'y';
                if (write(results[1], &won, 1) != 1) _exit(2);
                // Stay alive, so that the winner's file names a live process.
                if (read(release[0], &go, 1) < 0) _exit(2);
                _exit(0);
            }
            children.push_back(child);
        }
        close(start[0]);
        close(results[1]);
        close(release[0]);
        close(start[1]);  // all claimants go at once
        int winners = 0;
        char won = 0;
        for (int i = 0; i < claimants && read(results[0], &won, 1) == 1; ++i) winners += won == 'y';
        close(results[0]);
        close(release[1]);
        for (const pid_t child : children) waitpid(child, nullptr, 0);
        EXPECT_EQ(winners, 1) << "round " << round;
        removePidFile();
    }
}

TEST_F(PidFileTest, MissingDirectoryFailsWithALogLine) {
    std::filesystem::remove_all(root_.path() + "/var/run/qor");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(writePidFile(), PidFileWrite::failed);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find(
                  "[LOG][writePidFile:"),
              std::string::npos);
}
}  // namespace

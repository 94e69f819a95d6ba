#include "app/pid_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

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

TEST_F(PidFileTest, MissingDirectoryFailsWithALogLine) {
    std::filesystem::remove_all(root_.path() + "/var/run/qor");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(writePidFile(), PidFileWrite::failed);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find(
                  "[LOG][writePidFile:"),
              std::string::npos);
}
}  // namespace

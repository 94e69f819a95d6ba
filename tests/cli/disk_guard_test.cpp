// The disk guard of a run, through the real binary on the file system that
// holds the sandbox's ClickHouse storage directory.

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>
#include <regex>

#include "pass_messages.h"
#include "rig.h"

namespace qortest {
namespace {

using Lines = std::vector<std::string>;

// Whole percent in use, reserved blocks counted as free, as an operator's
// df would round it down.
int usagePercent(const std::filesystem::path& directory) {
    struct statvfs figures {};
    if (statvfs(directory.c_str(), &figures) != 0) throw std::runtime_error("statvfs failed");
    const unsigned long long total =
        static_cast<unsigned long long>(figures.f_blocks) * figures.f_frsize;
    const unsigned long long free =
        static_cast<unsigned long long>(figures.f_bfree) * figures.f_frsize;
    return static_cast<int>((total - free) * 100 / total);
}

class DiskGuard : public ::testing::Test {
protected:
    RunResult start(const std::string& limit) {
        sandbox.answerClickHouse({{"_completed", "0\t0\t0\t\n"}});
        return sandbox.run({"start", "-w", "1", "-dl", limit, "-f",
                            sandbox.writeListFile("list.txt", "[qor]\ntb_audit_log\n")});
    }
    std::filesystem::path storage() const { return sandbox.path("/tevfs/clickhouse"); }

    Sandbox sandbox;
};

TEST_F(DiskGuard, StopsTheRunAtTheLimit) {
    const int usage = usagePercent(storage());
    ASSERT_GT(usage, 0) << "the test needs a file system with something on it";
    const RunResult result = start(std::to_string(usage));
    EXPECT_EQ(result.exitStatus, 1);
    const Lines messages = passMessages(result);
    ASSERT_EQ(messages.size(), 2u) << result.out;
    EXPECT_EQ(messages[0], "Disk usage exceeds threshold, stopping migration");
    std::smatch figures;
    ASSERT_TRUE(std::regex_match(messages[1], figures,
                                 std::regex(R"(Disk Limit :(\d+), Disk Usage : (\d+))")))
        << messages[1];
    EXPECT_EQ(std::stoi(figures[1]), usage);
    EXPECT_GE(std::stoi(figures[2]), usage);
    EXPECT_EQ(result.logs().back().function, "diskUsageExceedCheck");
    // Stopped before anything of the collection was read.
    for (const RecordedCall& call : sandbox.calls()) {
        EXPECT_EQ(call.joined().find("tb_audit_log"), std::string::npos) << call.joined();
    }
}

TEST_F(DiskGuard, ALimitOfZeroOnlyReportsTheUsage) {
    const RunResult result = start("0");
    EXPECT_EQ(result.exitStatus, 0) << result.out;
    const Lines messages = passMessages(result);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages[0], "Disk Usage : N%");
    EXPECT_EQ(messages.back(), "**************** Migration End ****************");
}

}  // namespace
}  // namespace qortest

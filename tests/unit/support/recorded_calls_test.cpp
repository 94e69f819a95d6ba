#include "recorded_calls.h"

#include <gtest/gtest.h>

#include <fstream>

namespace qortest {
namespace {

// The doubles' record format: calls in start order, NUL-separated
// arguments (empty ones included), standard input and environment beside.
TEST(RecordedCalls, ReadsCallsInStartOrderWithInputAndEnvironment) {
    using namespace std::string_literals;
    const auto directory = std::filesystem::temp_directory_path() /
                           ("qor-recorded-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    const auto write = [&](const std::string& name, const std::string& data) {
        std::ofstream(directory / name, std::ios::binary) << data;
    };
    write("00000000000000000200-0000042-psql.argv", "psql\0-h\0host\0"s);
    write("00000000000000000200-0000042-psql.env", "PGPASSWORD=se cret\0"s);
    write("00000000000000000100-0000041-clickhouse-client.argv", "clickhouse-client\0--query=INSERT\0"s);
    write("00000000000000000100-0000041-clickhouse-client.stdin", "line 1\nline 2\n");
    write("00000000000000000300-0000043-mongosh.argv", "mongosh\0--eval\0\0"s);

    const auto calls = readRecordedCalls(directory);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].program, "clickhouse-client");
    EXPECT_EQ(calls[0].input, "line 1\nline 2\n");
    EXPECT_EQ(calls[0].option("--query"), "INSERT");
    EXPECT_EQ(calls[1].argv, (std::vector<std::string>{"psql", "-h", "host"}));
    EXPECT_EQ(calls[1].env.at("PGPASSWORD"), "se cret");
    EXPECT_FALSE(calls[1].input.has_value());
    EXPECT_EQ(calls[2].argv, (std::vector<std::string>{"mongosh", "--eval", ""}));
    std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace qortest

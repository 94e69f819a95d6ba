#include "recorded_calls.h"

#include <gtest/gtest.h>

#include <fstream>

namespace qortest {
namespace {

class RecordedCallsTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() /
                     ("qor-recorded-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(directory_);
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    void write(const std::string& name, const std::string& data) {
        std::ofstream(directory_ / name, std::ios::binary) << data;
    }

    std::filesystem::path directory_;
};

TEST_F(RecordedCallsTest, ReadsCallsInStartOrderWithInputAndEnvironment) {
    using namespace std::string_literals;
    write("00000000000000000200-0000042-psql.argv", "psql\0-h\0host\0"s);
    write("00000000000000000200-0000042-psql.env", "PGPASSWORD=se cret\0"s);
    write("00000000000000000100-0000041-clickhouse-client.argv", "clickhouse-client\0--query=INSERT\0"s);
    write("00000000000000000100-0000041-clickhouse-client.stdin", "line 1\nline 2\n");
    write("00000000000000000300-0000043-mongosh.argv", "mongosh\0--eval\0\0"s);

    const auto calls = readRecordedCalls(directory_);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].program, "clickhouse-client");
    EXPECT_EQ(calls[0].input, "line 1\nline 2\n");
    EXPECT_EQ(calls[1].program, "psql");
    EXPECT_EQ(calls[1].argv, (std::vector<std::string>{"psql", "-h", "host"}));
    EXPECT_EQ(calls[1].env.at("PGPASSWORD"), "se cret");
    EXPECT_FALSE(calls[1].input.has_value());
    EXPECT_EQ(calls[2].argv, (std::vector<std::string>{"mongosh", "--eval", ""}));

    const auto only = readRecordedCalls(directory_, "psql");
    ASSERT_EQ(only.size(), 1u);
    EXPECT_EQ(only[0].joined(), "psql -h host");
}

TEST_F(RecordedCallsTest, RefusesAnArgumentWithoutItsEnd) {
    using namespace std::string_literals;
    write("00000000000000000100-0000041-free.argv", "free\0-b"s);
    EXPECT_THROW(readRecordedCalls(directory_), std::runtime_error);
}

TEST(RecordedCall, FindsOptionValuesInBothSpellings) {
    RecordedCall call;
    call.argv = {"mongoexport", "--host", "h:8825", "--collection=tb_x", "--query={ \"a\": 1 }", "-u", "user",
                 "--quiet"};
    EXPECT_EQ(call.option("--host"), "h:8825");
    EXPECT_EQ(call.option("--collection"), "tb_x");
    EXPECT_EQ(call.option("--query"), "{ \"a\": 1 }");
    EXPECT_EQ(call.option("-u"), "user");
    EXPECT_EQ(call.option("--quiet"), "");
    EXPECT_FALSE(call.option("--coll").has_value());
    EXPECT_FALSE(call.option("--sort").has_value());
}

}  // namespace
}  // namespace qortest

#include "exec/dry_run.h"

#include <gtest/gtest.h>

#include "exec/commands.h"
#include "fake_host.h"

namespace {
TEST(MaskSecrets, HidesEveryQuotedFormOfEverySecret) {
    const std::vector<std::string> secrets = {"chpass", "it's \"$x\"", ""};
    const ClickHouseLogin plain{"127.0.0.1", "chuser", "chpass"};
    EXPECT_EQ(maskSecrets(clickhouseCommand(plain, "truncate table mig_t"), secrets),
              "clickhouse-client -h 127.0.0.1 --port=8820 -u chuser --password='***' "
              "--query=\"truncate table mig_t\"");

    const MongoLogin hostile{"h", "u", "it's \"$x\""};
    const std::string masked = maskSecrets(exportCommand(hostile, "tb_a", ""), secrets);
    EXPECT_EQ(masked.find("it"), std::string::npos) << masked;
    EXPECT_NE(masked.find("-p *** "), std::string::npos) << masked;

    const PostgresLogin postgres{"h", "u", "it's \"$x\""};
    const std::string update = maskSecrets(snowflakeUpdateCommand(postgres, "42"), secrets);
    EXPECT_EQ(update.rfind("export PGPASSWORD=\"***\"; psql -h h -U u", 0), 0u) << update;

    EXPECT_EQ(maskSecrets("no secrets here", {}), "no secrets here");
}

TEST(DryRunHost, ReadsRunAndWritesAreOnlyLogged) {
    FakeHost fake;
    fake.answer("select", "7\n");
    const Host host = dryRunHost(fake.host(), {"chpass"});

    std::string read;
    host.readOutput("clickhouse-client --password='chpass' --query=\"select 1\"", 512,
                    [&](std::string_view piece) { read += piece; });
    EXPECT_EQ(read, "7\n");

    ::testing::internal::CaptureStdout();
    const ChildStatus run = host.run("clickhouse-client --password='chpass' --query=\"truncate table t\"");
    const PipelineStatus pipeline = host.runPipeline("mongoexport -p chpass", "clickhouse-client");
    host.sleepFor(10);
    const std::string out = ::testing::internal::GetCapturedStdout();

    EXPECT_TRUE(run.succeeded());
    EXPECT_TRUE(pipeline.producer.succeeded() && pipeline.consumer.succeeded());
    EXPECT_EQ(fake.commands().size(), 1u);
    EXPECT_TRUE(fake.sleeps().empty());
    EXPECT_NE(out.find("] [DRY-RUN] clickhouse-client --password='***' --query=\"truncate table t\"\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("] [DRY-RUN] mongoexport -p *** | clickhouse-client\n"), std::string::npos);
    EXPECT_EQ(out.find("chpass"), std::string::npos);
}
}  // namespace

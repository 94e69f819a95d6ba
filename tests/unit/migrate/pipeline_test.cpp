#include <gtest/gtest.h>

#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

namespace {
using Lines = std::vector<std::string>;

const std::string exportOfJ4 =
    "mongoexport --host mongo.test:8825 --collection=tb_j4_alert_log --db=qornosql -u muser "
    "-p mpass --authenticationDatabase qornosql --sort='{ \"_id\": -1 }' ";
const std::string loadOfJ4 =
    "clickhouse-client -h ch.test --port=8820 -u cuser --password='cpass' "
    "--query=\"SET max_partitions_per_insert_block = 500; INSERT INTO mig_tb_zq_alert_log "
    "FORMAT LineAsString\"";

struct Ends {
    int exporter;
    int loader;
    bool moved;
    Lines messages;
};

TEST(ExecuteMigrationCommand, BothExitStatusesDecideWhetherTheDataMoved) {
    const std::string start = "tb_zq_alert_log table migration start";
    const std::string end = "tb_zq_alert_log table migration end";
    const Ends cases[] = {
        {0, 0, true, {start, end}},
        // The loader refusing an empty insert is a window without documents.
        {0, 108, true, {start, end}},
        {1, 0, false,
         {start, end,
          "tb_zq_alert_log table migration failed (mongoexport exit 1, clickhouse-client exit 0)"}},
        {0, 4, false,
         {start, end,
          "tb_zq_alert_log table migration failed (mongoexport exit 0, clickhouse-client exit 4)"}},
        {1, 108, false,
         {start, end,
          "tb_zq_alert_log table migration failed (mongoexport exit 1, clickhouse-client exit "
          "108)"}},
    };
    for (const Ends& c : cases) {
        FakeHost fake;
        fake.pipelineEnds("mongoexport", c.exporter, c.loader);
        const auto migrator = makeTestMigrator(fake);
        StdoutCapture out;
        EXPECT_EQ(migrator->executeMigrationCommand("tb_j4_alert_log", "", ""), c.moved)
            << c.exporter << "/" << c.loader;
        const std::vector<LoggedLine> lines = out.lines();
        Lines messages;
        for (const LoggedLine& line : lines) {
            EXPECT_EQ(line.function, "executeMigrationCommand");
            messages.push_back(line.message);
        }
        EXPECT_EQ(messages, c.messages) << c.exporter << "/" << c.loader;
    }
}

TEST(ExecuteMigrationCommand, BoundsBecomeTheExportFilterUpperFirst) {
    const std::string upper = "65a1d27fffffffffffffffff";
    const std::string lower = "659dde000000000000000000";
    FakeHost fake;
    const auto migrator = makeTestMigrator(fake);
    StdoutCapture out;
    migrator->executeMigrationCommand("tb_j4_alert_log", upper, lower);
    migrator->executeMigrationCommand("tb_j4_alert_log", upper, "");
    // Without an upper bound the whole collection goes, whatever the lower one.
    migrator->executeMigrationCommand("tb_j4_alert_log", "", lower);
    EXPECT_EQ(fake.commands(),
              (Lines{exportOfJ4 + "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"" + upper +
                         "\" }, \"$gte\": { \"$oid\": \"" + lower + "\" } } }' | " + loadOfJ4,
                     exportOfJ4 + "--query='{ \"_id\": { \"$lte\": { \"$oid\": \"" + upper +
                         "\" } } }' | " + loadOfJ4,
                     exportOfJ4 + " | " + loadOfJ4}));
}
}  // namespace

#include <gtest/gtest.h>

#include <stdexcept>

#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

namespace {
using Lines = std::vector<std::string>;

const std::string check =
    "\"select count() From mig_tb_preprocess_completed where table_name = 'report_preprocess'\"";
const std::string record =
    "\"insert into mig_tb_preprocess_completed values (now64(), 'report_preprocess')\"";

std::string conversionOf(const std::string& collection) {
    return "mongosh mongo.test:8825/qornosql -u muser -p mpass --quiet --eval 'db." + collection +
           ".updateMany( { \"merge_seq\": { $type: \"string\" } }, [ { $set: { \"merge_seq\": "
           "{ $convert: { input: \"$merge_seq\", to: \"int\" } } } } ] );'";
}

const Lines sixLines = {
    "tb_report_data collection type preprocessing start",
    "tb_report_data collection type preprocessing end",
    "tb_report_summary_data collection type preprocessing start",
    "tb_report_summary_data collection type preprocessing end",
    "tb_base_report_data collection type preprocessing start",
    "tb_base_report_data collection type preprocessing end",
};

class ReportPreprocess : public ::testing::Test {
protected:
    Lines call() {
        StdoutCapture out;
        migrator->executeReportTypePreprocessCommand();
        return out.messages();
    }

    FakeHost fake;
    std::unique_ptr<OlapMigrator> migrator = makeTestMigrator(fake);
};

TEST_F(ReportPreprocess, ConvertsThreeCollectionsOnceAndRecordsIt) {
    fake.answerInTurn(check, {{"0\n"}, {"1\n"}});

    EXPECT_EQ(call(), sixLines);
    EXPECT_EQ(fake.commands(),
              (Lines{"clickhouse-client -h ch.test --port=8820 -u cuser --password='cpass' "
                     "--query=" + check,
                     conversionOf("tb_report_data"), conversionOf("tb_report_summary_data"),
                     conversionOf("tb_base_report_data"),
                     "clickhouse-client -h ch.test --port=8820 -u cuser --password='cpass' "
                     "--query=" + record}));

    // The second call of the run finds the row and leaves MongoDB alone.
    EXPECT_TRUE(call().empty());
    EXPECT_EQ(fake.commands().size(), 6u);
    EXPECT_EQ(fake.commandsContaining("updateMany").size(), 3u);
}

TEST_F(ReportPreprocess, AnyRecordedRowCountsAsDone) {
    fake.answer(check, "2\n");
    EXPECT_TRUE(call().empty());
    EXPECT_EQ(fake.commands().size(), 1u);
}

TEST_F(ReportPreprocess, FailedConversionIsNamedNotRecordedAndTriedAgain) {
    fake.answer(check, "0\n");
    fake.answerInTurn("db.tb_report_summary_data.updateMany", {{"", 1}, {"", 0}});

    Lines expected = sixLines;
    expected.insert(expected.begin() + 4, "tb_report_summary_data collection type preprocessing failed");
    EXPECT_EQ(call(), expected);
    EXPECT_TRUE(fake.commandsContaining("insert into mig_tb_preprocess_completed").empty());

    EXPECT_EQ(call(), sixLines);
    EXPECT_EQ(fake.commandsContaining("updateMany").size(), 6u);
    EXPECT_EQ(fake.commandsContaining("insert into mig_tb_preprocess_completed").size(), 1u);
}

TEST_F(ReportPreprocess, UnreadableBookkeepingConvertsNothing) {
    EXPECT_EQ(call(), (Lines{"Split String Error"}));
    EXPECT_TRUE(fake.commandsContaining("updateMany").empty());

    // A reply that is not a count ends the run rather than being taken for 0.
    fake.answer(check, "Code: 60. DB::Exception\n");
    EXPECT_THROW(migrator->executeReportTypePreprocessCommand(), std::invalid_argument);
    EXPECT_TRUE(fake.commandsContaining("updateMany").empty());
}
}  // namespace

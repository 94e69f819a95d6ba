#include "migrate/name_check.h"

#include <gtest/gtest.h>

#include "fake_host.h"
#include "log_capture.h"
#include "test_migrator.h"

namespace {
TEST(AdmitCollectionName, OrdinaryNamesPassWithoutATrace) {
    FakeHost fake;
    const auto migrator = makeTestMigrator(fake);
    StdoutCapture out;
    EXPECT_TRUE(admitCollectionName(*migrator, "tb_j4_alert-log.v2", "generalTableMigration"));
    EXPECT_EQ(out.text(), "");
    EXPECT_TRUE(migrator->runReport().records().empty());
}

TEST(AdmitCollectionName, ANameThatCouldEscapeIsRefusedAndRecorded) {
    for (const std::string name : {"tb_x\");db.dropDatabase();(\"", "tb_x'y", "tb x", "tb_$x"}) {
        FakeHost fake;
        const auto migrator = makeTestMigrator(fake);
        StdoutCapture out;
        EXPECT_FALSE(admitCollectionName(*migrator, name, "reportTableMigration"));
        EXPECT_EQ(out.lines(),
                  (std::vector<LoggedLine>{
                      {"reportTableMigration",
                       name + " collection name is not accepted (letters, digits, '_', '.' and "
                              "'-' only), skipped"}}));
        ASSERT_EQ(migrator->runReport().records().size(), 1u);
        EXPECT_EQ(migrator->runReport().records()[0].name, name);
        EXPECT_EQ(migrator->runReport().records()[0].outcome, Outcome::refusedName);
        EXPECT_TRUE(fake.commands().empty());
    }
}
}  // namespace

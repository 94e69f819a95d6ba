#include "migrate/table_names.h"

#include <gtest/gtest.h>

namespace {
TEST(TableNames, OnlyTheFirstJ4BecomesZq) {
    EXPECT_EQ(toOlapTableName("tb_j4_alert_log"), "tb_zq_alert_log");
    EXPECT_EQ(toOlapTableName("tb_j4_j4_log"), "tb_zq_j4_log");
    EXPECT_EQ(toOlapTableName("tb_logj4"), "tb_logzq");
    EXPECT_EQ(toOlapTableName("tb_audit_log"), "tb_audit_log");
    EXPECT_EQ(toOlapTableName("tb_J4_log"), "tb_J4_log");
}

TEST(TableNames, StagingAndCompletedFollowTheTargetName) {
    EXPECT_EQ(stagingTableName("tb_j4_alert_log"), "mig_tb_zq_alert_log");
    EXPECT_EQ(completedTableName("tb_j4_alert_log"), "mig_tb_zq_alert_log_completed");
    EXPECT_EQ(stagingTableName("tb_audit_log"), "mig_tb_audit_log");
    EXPECT_EQ(completedTableName("tb_audit_log"), "mig_tb_audit_log_completed");
}
}  // namespace

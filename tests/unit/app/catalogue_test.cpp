#include "app/catalogue.h"

#include <gtest/gtest.h>

#include "scoped_environment.h"
#include "scratch_directory.h"

namespace {
std::vector<std::string> walk(const ProductCatalogue& catalogue, const std::string& product,
                              const std::string& table) {
    std::vector<std::string> names;
    forEachCollection(catalogue, [&](const std::string& key, const std::string& name) {
        if (isSelected(key, name, product, table)) names.push_back(name);
    });
    return names;
}

TEST(Catalogue, BuiltInContentInItsOwnOrder) {
    const ProductCatalogue catalogue = builtInCatalogue();
    ASSERT_EQ(catalogue.size(), 8u);
    const std::vector<std::string> all = walk(catalogue, "", "");
    EXPECT_EQ(all.size(), 52u);
    EXPECT_EQ(all.front(), "tb_gyv_agent_event_log");
    EXPECT_EQ(all.back(), "tb_base_report_data");
    EXPECT_EQ(catalogue[6].begin()->first, "zq");
}

TEST(Catalogue, SelectionByProductAndTable) {
    const ProductCatalogue catalogue = builtInCatalogue();
    const std::vector<std::string> qor = walk(catalogue, "qor", "");
    ASSERT_EQ(qor.size(), 14u);
    EXPECT_EQ(qor.front(), "tb_agent_install_pkg_log");
    EXPECT_EQ(qor.back(), "tb_traffic_monitor_log");
    EXPECT_EQ(walk(catalogue, "", "tb_report_data"), std::vector<std::string>{"tb_report_data"});
    EXPECT_TRUE(walk(catalogue, "report", "tb_audit_log").empty());
    EXPECT_TRUE(walk(catalogue, "QOR", "").empty());
}

TEST(Catalogue, ReportTablesAreTheFourNames) {
    for (const char* name :
         {"tb_report_status", "tb_report_summary_data", "tb_report_data", "tb_base_report_data"}) {
        EXPECT_TRUE(isReportTable(name)) << name;
    }
    EXPECT_FALSE(isReportTable("tb_report_data_old"));
    EXPECT_FALSE(isReportTable("tb_audit_log"));
}

TEST(SetMigrationList, ReplacesTheWholeCatalogueAndLogsTheText) {
    ScratchDirectory dir;
    const std::string text = "[misc]\ntb_report_data\n[qor]\ntb_audit_log\n";
    const std::string path = dir.write("list.txt", text);
    const ProductCatalogue saved = migrationList;
    ::testing::internal::CaptureStdout();
    setMigrationList(path);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[LOG][setMigrationList:"), std::string::npos);
    EXPECT_NE(out.find("] File Data\n"), std::string::npos);
    EXPECT_NE(out.find("] \n" + text), std::string::npos);
    EXPECT_EQ(walk(migrationList, "", ""), (std::vector<std::string>{"tb_report_data", "tb_audit_log"}));
    EXPECT_EQ(walk(migrationList, "misc", ""), std::vector<std::string>{"tb_report_data"});

    setMigrationList("");
    EXPECT_EQ(walk(migrationList, "", "").size(), 2u);
    migrationList = saved;
}

}  // namespace

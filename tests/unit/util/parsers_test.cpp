#include <gtest/gtest.h>

#include "util/parsers.h"

TEST(Parsers, ListFilesGiveSectionsInFileOrder) {
    const struct {
        const char* text;
        ProductCatalogue catalogue;
    } cases[] = {
        {"tb_before_any_header\n", {}},
        {"[zq]\ntb_j4_alert_log\n#tb_j4_is_log\n[hux]\ntb_hux_snapshot",
         {{{"zq", {"tb_j4_alert_log"}}}, {{"hux", {"tb_hux_snapshot"}}}}},
        {" [ qor ] \n tb_audit _log\t\n", {{{"qor", {"tb_audit_log"}}}}},
        {"[qor]\r\ntb_audit_log\r\n", {{{"qor", {"tb_audit_log"}}}}},
        {"[]\nignored\n[qor]\n[qor]\na\n", {{}, {{"qor", {"a"}}}}},
        {"#[qor]\na\n", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(parseSectionList(c.text), c.catalogue) << c.text;
}

#include <gtest/gtest.h>

#include <stdexcept>

#include "util/parsers.h"

using Pieces = std::vector<std::string>;

TEST(Parsers, SplitByTabKeepsNewlinesAndDropsEmptyPieces) {
    EXPECT_EQ(splitByTab(""), Pieces{});
    EXPECT_EQ(splitByTab("\t\t"), Pieces{});
    EXPECT_EQ(splitByTab("a\t\tb"), (Pieces{"a", "b"}));
    EXPECT_EQ(splitByTab("0\t0\t0\t\n"), (Pieces{"0", "0", "0", "\n"}));
}

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

TEST(Parsers, LeadingNumbersOrAnError) {
    EXPECT_EQ(parseLeadingInt64(" 42\n"), 42);
    EXPECT_EQ(parseLeadingInt64("-7x"), -7);
    EXPECT_THROW(parseLeadingInt64("Code: 60"), std::invalid_argument);
    EXPECT_THROW(parseLeadingInt64("99999999999999999999"), std::out_of_range);
    EXPECT_EQ(readLeadingInt64("12h"), 12);
    EXPECT_EQ(readLeadingInt64("fifty"), std::nullopt);
}

#include "util/parsers.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
using Names = std::vector<std::string>;

TEST(SplitByTab, KeepsNewlinesAndDropsEmptyPieces) {
    EXPECT_TRUE(splitByTab("").empty());
    EXPECT_TRUE(splitByTab("\t\t\t").empty());
    EXPECT_EQ(splitByTab("a\t\tb"), (Names{"a", "b"}));
    EXPECT_EQ(splitByTab("123\n"), (Names{"123\n"}));
    EXPECT_EQ(splitByTab("0\t0\t0\t\n"), (Names{"0", "0", "0", "\n"}));
    EXPECT_EQ(splitByTab("1\t2\n3\t4\n"), (Names{"1", "2\n3", "4\n"}));
}

// Comments, blanks, carriage returns and names before any header show in
// tests/cli/list_file_test.cpp through the real binary.
TEST(ParseSectionList, KeepsEmptyClosedSectionsAndRepeatedKeys) {
    const ProductCatalogue catalogue = parseSectionList("[a]\n[qor]\nx\n[qor]\ny\n[tail]\n");
    // "[a]" is closed by the next header and kept without names; the last
    // header got no name and is dropped.
    ASSERT_EQ(catalogue.size(), 3u);
    EXPECT_TRUE(catalogue[0].empty());
    EXPECT_EQ(catalogue[1].at("qor"), Names{"x"});
    EXPECT_EQ(catalogue[2].at("qor"), Names{"y"});
}

TEST(Numbers, LeadingNumberRule) {
    EXPECT_EQ(parseLeadingInt64("  42\n"), 42);
    EXPECT_EQ(parseLeadingInt64("-7abc"), -7);
    EXPECT_EQ(parseLeadingInt64("+12h"), 12);
    EXPECT_THROW(parseLeadingInt64("abc"), std::invalid_argument);
    EXPECT_THROW(parseLeadingInt64(""), std::invalid_argument);
    EXPECT_THROW(parseLeadingInt64("\\N\n"), std::invalid_argument);
    EXPECT_THROW(parseLeadingInt64("999999999999999999999999999999"), std::out_of_range);

    EXPECT_EQ(readLeadingInt64(" 12h"), 12);
    EXPECT_EQ(readLeadingInt64("-5"), -5);
    EXPECT_EQ(readLeadingInt64("x1"), std::nullopt);
    EXPECT_EQ(readLeadingInt64("-"), std::nullopt);
    EXPECT_EQ(readLeadingInt64("999999999999999999999999999999"), std::nullopt);
}

TEST(Numbers, RemovesEveryNewline) {
    EXPECT_EQ(removeNewlines("a\nb\n\n"), "ab");
    EXPECT_EQ(removeNewlines(""), "");
}
}  // namespace

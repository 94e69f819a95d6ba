#include "exec/shell_quote.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exec/host.h"
#include "hostile_values.h"
#include "scratch_directory.h"

namespace {
// What /bin/sh makes of `word` as the one argument of printf.
std::string shellReading(const std::string& word) {
    std::string printed;
    const ChildStatus status =
        realHost().readOutput("printf '%s' " + word, 4096,
                              [&printed](std::string_view piece) { printed.append(piece); });
    EXPECT_EQ(status.code, 0) << word;
    return printed;
}
}  // namespace

TEST(ShellQuote, PlainValuesAreTheUsualHostUserAndPathCharacters) {
    for (const char* value : {"10.20.30.40", "db-01.example.org", "qor_admin", "user@site",
                              "Secr3t+pw=9", "a:b,c", "/tevfs/nosql", "50%", "-"}) {
        EXPECT_TRUE(isPlainValue(value)) << value;
    }
    for (const char* value : {"", "two words", "it's", "say\"", "$x", "`x`", "a;b", "a|b",
                              "a\nb", "a\\b", "*", "?", "~", "a#b", "{a}", "[a]", "a&b", "a<b",
                              "a\tb", "caf\xc3\xa9"}) {
        EXPECT_FALSE(isPlainValue(value)) << value;
    }
}

TEST(ShellQuote, PlainValuesStayAsTyped) {
    for (const char* value : {"10.20.30.40", "qor_admin", "P@ss=w0rd", "/tmp/oid_temp.txt"}) {
        EXPECT_EQ(bareArgument(value), value);
        EXPECT_EQ(insideSingleQuotes(value), value);
        EXPECT_EQ(insideDoubleQuotes(value), value);
    }
}

TEST(ShellQuote, OtherValuesGetTheirQuotingForm) {
    EXPECT_EQ(bareArgument(""), "''");
    EXPECT_EQ(bareArgument("two words"), "'two words'");
    EXPECT_EQ(bareArgument("it's"), R"('it'\''s')");
    EXPECT_EQ(bareArgument("$(id)"), "'$(id)'");
    EXPECT_EQ(insideSingleQuotes("it's"), R"(it'\''s)");
    EXPECT_EQ(insideSingleQuotes("$(id) \"x\""), "$(id) \"x\"");
    EXPECT_EQ(insideSingleQuotes(""), "");
    EXPECT_EQ(insideDoubleQuotes(R"(a"b$c`d\e)"), R"(a\"b\$c\`d\\e)");
    EXPECT_EQ(insideDoubleQuotes("it's (a\nb)"), "it's (a\nb)");
}

TEST(ShellQuote, TheShellReadsBackExactlyTheValue) {
    ScratchDirectory scratch;
    const std::string marker = scratch.file("marker");
    std::vector<std::string> values = shellHostileValues(marker);
    values.insert(values.end(), {"10.20.30.40", "qor_admin", "P@ss=w0rd"});
    for (const std::string& value : values) {
        SCOPED_TRACE(value);
        EXPECT_EQ(shellReading(bareArgument(value)), value);
        EXPECT_EQ(shellReading("'" + insideSingleQuotes(value) + "'"), value);
        EXPECT_EQ(shellReading("\"" + insideDoubleQuotes(value) + "\""), value);
        // Quoted pieces must also join with the template's own text around them.
        EXPECT_EQ(shellReading("pre" + bareArgument(value) + ":8825"), "pre" + value + ":8825");
    }
    EXPECT_FALSE(fileExists(marker));
}

TEST(ShellQuote, CollectionNamesAreLettersDigitsUnderscoreDotAndHyphen) {
    for (const char* name : {"tb_j4_alert_log", "tb_hux_snapshot", "TB.Report-2024"}) {
        EXPECT_TRUE(isAcceptableCollectionName(name)) << name;
    }
    for (const char* name : {"", "tb'x", "tb\"x", "tb x", "tb$x", "tb;x", "tb(x)", "tb/x", "tb`x",
                             "tb\nx", "tb\\x", "tb@x", "tb%x"}) {
        EXPECT_FALSE(isAcceptableCollectionName(name)) << name;
    }
}

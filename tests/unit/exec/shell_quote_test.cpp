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

// Every template's use of these shows in commands_test.cpp; here each form
// on its own, also joined with a template's text around it.
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

#include "exec/runners.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scoped_environment.h"
#include "scratch_directory.h"

namespace {
using Fields = std::vector<std::string>;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A host on which no child can be started, as when popen itself fails.
Host hostThatCannotStart() {
    Host host = realHost();
    host.readOutput = [](const std::string&, std::size_t,
                         const std::function<void(std::string_view)>&) { return ChildStatus{}; };
    return host;
}

// A line of `length` x characters, as a shell command printing it.
std::string printLineOf(std::size_t length, bool newline) {
    return "printf '%" + std::to_string(length) + "s" + (newline ? "\\n" : "") + "' '' | tr ' ' x";
}

TEST(ExecuteCommand, GivesTheLastPieceOfTheOutput) {
    struct Case {
        std::string command;
        std::string lastText;
    };
    const std::vector<Case> cases = {
        {"printf 'a\\nb\\nc\\n'", "c\n"},
        {"true", ""},
        {"printf 'first\\nno line end'", "no line end"},
        {"echo to stderr >&2; echo to stdout", "to stdout\n"},
        // A last line longer than one read keeps only its final piece.
        {printLineOf(1500, true), std::string(1500 - 1023, 'x') + "\n"},
        {printLineOf(1023, true), "\n"},
        {printLineOf(1022, true), std::string(1022, 'x') + "\n"},
        {printLineOf(2046, false), std::string(1023, 'x')},
    };
    for (const Case& c : cases) {
        const CommandOutput output = executeCommand(c.command);
        EXPECT_EQ(output.text, c.lastText) << c.command;
        EXPECT_TRUE(output.status.succeeded()) << c.command;
    }
}

TEST(ExecuteCommand, HandsBackTheExitStatusWithoutJudgingIt) {
    testing::internal::CaptureStdout();
    const CommandOutput output = executeCommand("echo left; exit 7");
    const std::string logged = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output.text, "left\n");
    EXPECT_EQ(output.status.code, 7);
    EXPECT_EQ(logged, "");
}

TEST(ExecuteCommand, ACommandThatCannotStartIsLoggedAndGivesNothing) {
    testing::internal::CaptureStdout();
    const CommandOutput output = executeCommand("echo never", hostThatCannotStart());
    const std::string logged = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output.text, "");
    EXPECT_FALSE(output.status.started());
    EXPECT_EQ(occurrences(logged, "[LOG][executeCommand:"), 1u) << logged;
    EXPECT_NE(logged.find("] Failed to execute query.\n"), std::string::npos) << logged;
}

// clickhouse-client is a script of the test's own, found first on PATH.
class ClickHouseRunners : public testing::Test {
protected:
    ClickHouseRunners() : path_("PATH", pathWithFirst(scratch_.path())) {}

    void clientDoes(const std::string& script) {
        writeExecutable(scratch_.file("clickhouse-client"), "#!/bin/sh\n" + script + "\n");
    }

    const ClickHouseLogin login{"ch.local", "default", "pw"};

private:
    ScratchDirectory scratch_;
    ScopedEnvironment path_;
};

TEST_F(ClickHouseRunners, OneRowComesBackAsItsTabSeparatedFields) {
    clientDoes("printf '0\\t0\\t0\\t\\n'");
    EXPECT_EQ(getClickHouseQueryResult(login, "select 1").fields, (Fields{"0", "0", "0", "\n"}));
    clientDoes("printf '123\\n'");
    EXPECT_EQ(getClickHouseQueryResult(login, "select 1").fields, (Fields{"123\n"}));
    clientDoes("printf '5\\t7\\n'");
    EXPECT_EQ(getClickHouseQueryResult(login, "select 1").fields, (Fields{"5", "7\n"}));
}

TEST_F(ClickHouseRunners, TheWholeOutputIsReadAndTheQueryIsOneArgument) {
    clientDoes("for a in \"$@\"; do printf '%s\\t' \"$a\"; done");
    const std::string sql = "select '" + std::string(1500, 'q') + "' as \"long\"";
    EXPECT_EQ(getClickHouseQueryResult(login, sql).fields,
              (Fields{"-h", "ch.local", "--port=8820", "-u", "default", "--password=pw",
                      "--query=" + sql}));
}

TEST_F(ClickHouseRunners, AFailingQueryOrOnlyTabsGiveAnEmptyListAndOneSplitError) {
    for (const auto& [script, code] :
         {std::pair{"echo 'Code: 60. DB::Exception: Unknown table' >&2; exit 60", 60},
          std::pair{"printf '\\t\\t'", 0}}) {
        clientDoes(script);
        testing::internal::CaptureStdout();
        const QueryResult result = getClickHouseQueryResult(login, "select count() from nowhere");
        const std::string logged = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(result.fields.empty()) << script;
        EXPECT_EQ(result.status.code, code);
        EXPECT_EQ(occurrences(logged, "Split String Error"), 1u) << logged;
        EXPECT_EQ(occurrences(logged, "[LOG][getClickHouseQueryResult:"), 1u) << logged;
    }
}

TEST_F(ClickHouseRunners, AClientThatCannotStartIsNoSplitError) {
    testing::internal::CaptureStdout();
    const QueryResult result = getClickHouseQueryResult(login, "select 1", hostThatCannotStart());
    const std::string logged = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(result.fields.empty());
    EXPECT_FALSE(result.status.started());
    EXPECT_EQ(occurrences(logged, "[LOG][getClickHouseQueryResult:"), 1u) << logged;
    EXPECT_NE(logged.find("] Failed to execute query.\n"), std::string::npos) << logged;
    EXPECT_EQ(logged.find("Split String Error"), std::string::npos) << logged;
}

TEST_F(ClickHouseRunners, AStatementRunsWithTheToolsOwnOutput) {
    clientDoes("printf 'client said %s\\n' \"$7\"; exit 4");
    testing::internal::CaptureStdout();
    const ChildStatus status = executeClickHouseCommand(login, "truncate table mig_tb_x");
    const std::string shown = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status.code, 4);
    EXPECT_EQ(shown, "client said --query=truncate table mig_tb_x\n");
}

TEST(GetDataStr, TakesTheTextBetweenTheFirstAndTheLastQuote) {
    EXPECT_EQ(getDataStr("x 'abc' y"), "abc");
    EXPECT_EQ(getDataStr("ISODate('2024-03-05T10:20:30.123Z')"), "2024-03-05 10:20:30");
    EXPECT_EQ(getDataStr("[ { create_time: ISODate('2024-03-01T10:00:00.000Z') } ]"),
              "2024-03-01 10:00:00");
    EXPECT_EQ(getDataStr("'2024-01-01T00:00:00Z'"), "2024-01-01 00:00:00Z");
    EXPECT_EQ(getDataStr("'a' and 'b'"), "a' and 'b");
}

// The death-test child sends its standard output to standard error, where
// the expectation can see the log line.
void readWithLogOnStandardError(const std::string& line) {
    dup2(STDERR_FILENO, STDOUT_FILENO);
    getDataStr(line);
}

TEST(GetDataStrDeathTest, ALineWithoutAQuotedValueEndsTheProcess) {
    EXPECT_EXIT(readWithLogOnStandardError("no quote here"), testing::ExitedWithCode(1),
                "\\[LOG\\]\\[getDataStr:[0-9]+\\] Invalid format no quote here");
    EXPECT_EXIT(readWithLogOnStandardError("only 'one quote"), testing::ExitedWithCode(1),
                "Invalid format only 'one quote");
    EXPECT_EXIT(readWithLogOnStandardError("empty '' quotes"), testing::ExitedWithCode(1),
                "Invalid format empty '' quotes");
    EXPECT_EXIT(readWithLogOnStandardError(""), testing::ExitedWithCode(1), "Invalid format ");
}
}  // namespace

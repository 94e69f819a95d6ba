// Hostile values through every command builder and a real sh: each program
// must receive exactly the value it was given, and nothing else may run.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "exec/clickhouse_statements.h"
#include "exec/host.h"
#include "exec/host_tool_commands.h"
#include "exec/mongo_export_commands.h"
#include "exec/mongo_shell_scripts.h"
#include "exec/postgres_commands.h"
#include "util/paths.h"

namespace {
namespace fs = std::filesystem;

const std::vector<std::string> hostileValues = {
    "plain-value",  "it's",        "say \"hi\"", "$(touch injected)", "`touch injected`",
    "a; touch injected", "two  blanks", "back\\slash", "line\nbreak", "%s%d",
};

// Every program prints its name, its arguments and the password variables
// it was given, each ended by a record separator (the seam reads lines as
// fgets does, which a NUL would cut).
class StubPrograms : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(bin_);
        std::string stub = "#!/bin/sh\nprintf '%s\\036' \"${0##*/}\" \"$@\"\n";
        for (const char* variable : {"PGPASSWORD", "CLICKHOUSE_PASSWORD", mongoPasswordVariable})
            stub += std::string("[ -n \"$") + variable + "\" ] && printf '" + variable +
                    "=%s\\036' \"$" + variable + "\"\n";
        for (const char* program : {"mongosh", "mongoexport", "clickhouse-client", "psql", "du"})
            writeExecutable(program, stub + "exit 0\n");
    }
    void TearDown() override {
        EXPECT_FALSE(fs::exists(root_ / "injected")) << "a value ran as a command";
        fs::remove_all(root_);
    }

    // What the programs of `command` received, in order, run through the
    // tool's own seam; no password may stand in the command's text.
    std::vector<std::string> received(ShellCommand command, const std::string& password) {
        EXPECT_EQ(command.text.find(password), std::string::npos) << command.text;
        command.secretFile.reset();  // the stubs read none, and its path is one of the values
        command.text = "cd '" + root_.string() + "' && PATH='" + bin_.string() + "' && { " +
                       command.text + "\n}";
        std::string text;
        realHost().readOutput(command, 4096, [&text](std::string_view piece) { text += piece; });
        std::vector<std::string> pieces;
        for (std::size_t from = 0, end; (end = text.find('\036', from)) != std::string::npos; from = end + 1)
            pieces.push_back(text.substr(from, end - from));
        return pieces;
    }

    // Its own folder: other checkouts run this test at the same time.
    fs::path root_ = fs::path(::testing::TempDir()) / ("quoting-" + std::to_string(getpid()));
    fs::path bin_ = root_ / "bin";

private:
    void writeExecutable(const char* name, const std::string& text) {
        std::ofstream(bin_ / name) << text;
        fs::permissions(bin_ / name, fs::perms::owner_all);
    }
};

TEST_F(StubPrograms, EveryBuilderHandsOverHostileValuesIntact) {
    for (const std::string& value : hostileValues) {
        const std::string password = value + "#pw";
        const MongoLogin mongo{value, value, password};
        for (const ShellCommand& command :
             {edgeObjectIdCommand(mongo, "tb_a", 1), storageSizeCommand(mongo, "tb_a"),
              dropCollectionCommand(mongo, "tb_a"), mergeSeqConversionCommand(mongo, "tb_a"),
              edgeTimeCommand(mongo, "tb_a", EdgeField::dataDate, -1),
              documentSummariesCommand(mongo, "tb_a", {{"659200800000000000000000", false, "659200800000000000000001"}}),
              exportCommand(mongo, "tb_a", exportQueryOption("u", "l"), value),
              clickhouseCommand({value, value, password}, value),
              snowflakeUpdateCommand({value, value, password}, "42"), directorySizeCommand(value)}) {
            bool intact = false, secret = false;  // a program got the value whole; the password by name
            for (const std::string& piece : received(command, password)) {
                intact = intact || piece == value || piece == value + ":8825/qornosql" ||
                         piece == value + ":8825" || piece == "--config=" + value || piece == "--query=" + value;
                secret = secret || piece.ends_with("PASSWORD=" + password);
            }
            EXPECT_TRUE(intact) << command.text;
            // The exporter reads its password from a private file instead.
            EXPECT_EQ(secret, !command.text.starts_with("du ") && !command.text.starts_with("mongoexport ")) << command.text;
        }
    }
}

}  // namespace

// Hostile values through every command builder and a real sh: each program
// must receive exactly the value it was given, and nothing else may run.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "exec/commands.h"
#include "exec/host.h"
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
    std::vector<std::string> received(ShellCommand command, const std::string& password = "#pw") {
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

    fs::path root_ = fs::path(::testing::TempDir()) / "quoting";
    fs::path bin_ = root_ / "bin";

private:
    void writeExecutable(const char* name, const std::string& text) {
        std::ofstream(bin_ / name) << text;
        fs::permissions(bin_ / name, fs::perms::owner_all);
    }
};

bool holds(const std::vector<std::string>& pieces, const std::string& value) {
    return std::find(pieces.begin(), pieces.end(), value) != pieces.end();
}
}  // namespace

TEST_F(StubPrograms, EveryBuilderHandsOverHostileValuesIntact) {
    for (const std::string& value : hostileValues) {
        const std::string password = value + "#pw";
        const MongoLogin mongo{value, value, password};
        for (const ShellCommand& command :
             {edgeObjectIdCommand(mongo, "tb_a", 1), storageSizeCommand(mongo, "tb_a"),
              dropCollectionCommand(mongo, "tb_a"), mergeSeqConversionCommand(mongo, "tb_a"),
              edgeTimeCommand(mongo, "tb_a", EdgeField::dataDate, -1),
              countDocumentsCommand(mongo, "tb_a", {"659200800000000000000000", true, ""})}) {
            const std::vector<std::string> argv = received(command);
            ASSERT_GE(argv.size(), 5u) << command.text;
            EXPECT_EQ(argv[1], value + ":8825/qornosql");
            EXPECT_EQ(argv[4].rfind("db.auth(\"", 0), 0u) << argv[4];
            EXPECT_NE(argv[4].find(std::string("\", process.env.") + mongoPasswordVariable + "); db."),
                      std::string::npos)
                << argv[4];
            EXPECT_TRUE(holds(argv, std::string(mongoPasswordVariable) + "=" + password));
        }
        const std::vector<std::string> exported =
            received(exportCommand(mongo, "tb_a", exportQueryOption("u", "l"), value));
        EXPECT_TRUE(holds(exported, value + ":8825") && holds(exported, "--config=" + value)) << value;
        EXPECT_TRUE(holds(exported, "--query={ \"_id\": { \"$lte\": { \"$oid\": \"u\" }, "
                                    "\"$gte\": { \"$oid\": \"l\" } } }"));
        const std::vector<std::string> query = received(clickhouseCommand({value, value, password}, value));
        EXPECT_TRUE(holds(query, "--query=" + value) && holds(query, "CLICKHOUSE_PASSWORD=" + password))
            << value;
        const std::vector<std::string> psql = received(snowflakeUpdateCommand({value, value, password}, "42"));
        EXPECT_TRUE(holds(psql, value) && holds(psql, "PGPASSWORD=" + password)) << value;
        EXPECT_TRUE(holds(received(directorySizeCommand(value)), value)) << value;
    }
}

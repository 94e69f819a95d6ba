// Hostile values through every command builder and a real sh: each program
// must receive exactly the value it was given, and nothing else may run.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "exec/commands.h"
#include "util/paths.h"

namespace {
namespace fs = std::filesystem;

const std::vector<std::string> hostileValues = {
    "plain-value",  "it's",        "say \"hi\"", "$(touch injected)", "`touch injected`",
    "a; touch injected", "two  blanks", "back\\slash", "line\nbreak", "%s%d",
};

// Every program prints its name, its arguments and the password variables
// it was given, each ended by a NUL; awk passes du's output through.
class StubPrograms : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(bin_);
        const std::string stub =
            "#!/bin/sh\nprintf '%s\\0' \"${0##*/}\" \"$@\"\n"
            "[ -n \"$PGPASSWORD\" ] && printf 'PGPASSWORD=%s\\0' \"$PGPASSWORD\"\nexit 0\n";
        for (const char* program : {"mongosh", "mongoexport", "clickhouse-client", "psql", "du"})
            writeExecutable(program, stub);
        writeExecutable("awk", "#!/bin/sh\nexec /bin/cat\n");
    }
    void TearDown() override {
        EXPECT_FALSE(fs::exists(root_ / "injected")) << "a value ran as a command";
        fs::remove_all(root_);
    }

    // What the programs of `command` received, in order.
    std::vector<std::string> received(const std::string& command) {
        const std::string shell = "cd '" + root_.string() + "' && PATH='" + bin_.string() +
                                  "' && { " + command + "\n}";
        FILE* pipe = popen(shell.c_str(), "r");
        std::string text;
        for (int c; (c = std::fgetc(pipe)) != EOF;) text += static_cast<char>(c);
        pclose(pipe);
        std::vector<std::string> pieces;
        for (std::size_t from = 0, nul; (nul = text.find('\0', from)) != std::string::npos; from = nul + 1)
            pieces.push_back(text.substr(from, nul - from));
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
        const MongoLogin mongo{value, value, value};
        const ClickHouseLogin clickhouse{value, value, value};
        for (const std::string& command :
             {oldestObjectIdCommand(mongo, "tb_a"), storageSizeCommand(mongo, "tb_a"),
              dropCollectionCommand(mongo, "tb_a"), mergeSeqConversionCommand(mongo, "tb_a"),
              edgeTimeCommand(mongo, "tb_a", EdgeField::dataDate, -1)}) {
            const std::vector<std::string> argv = received(command);
            EXPECT_TRUE(holds(argv, value + ":8825/qornosql") && holds(argv, value)) << command;
        }
        const std::vector<std::string> exported =
            received(exportCommand(mongo, "tb_a", exportQueryOption("u", "l")));
        EXPECT_TRUE(holds(exported, "--host") && holds(exported, value + ":8825")) << value;
        EXPECT_TRUE(holds(exported, "--query={ \"_id\": { \"$lte\": { \"$oid\": \"u\" }, "
                                    "\"$gte\": { \"$oid\": \"l\" } } }"));
        const std::vector<std::string> query = received(clickhouseCommand(clickhouse, value));
        EXPECT_TRUE(holds(query, "--password=" + value) && holds(query, "--query=" + value)) << value;
        const std::vector<std::string> psql =
            received(snowflakeUpdateCommand({value, value, value}, "42"));
        EXPECT_TRUE(holds(psql, value) && holds(psql, "PGPASSWORD=" + value)) << value;
        EXPECT_TRUE(holds(received(directorySizeCommand(value)), value)) << value;
    }
}

TEST_F(StubPrograms, TheWorkFileLiesBelowAHostileRoot) {
    const fs::path hostileRoot = root_ / "r o'o$(touch injected)t";
    fs::create_directories(hostileRoot / "tmp");
    setenv("QOROLAPMIGRATE_ROOT", hostileRoot.c_str(), 1);
    received(objectIdListExportCommand({"h", "u", "p"}, "tb_base_report_data", "", "", "f"));
    unsetenv("QOROLAPMIGRATE_ROOT");
    std::ifstream written(hostileRoot / "tmp/oid_temp.txt");
    std::string argv((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_NE(argv.find("--query"), std::string::npos);
}

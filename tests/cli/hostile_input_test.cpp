// Input nobody should give the tool, given anyway: configuration files that
// are there but cannot be read, absurdly long numbers, list files that are
// huge or not text at all. The tool must refuse or carry on with a clear
// line and the status the command defines, never crash.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "exec/shell_quote.h"
#include "rig.h"

namespace qortest {
namespace {

const std::vector<std::string> quietStart = {"start", "-p", "no-such-product", "-w", "1"};

std::vector<std::string> with(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

// As root, permissions do not stop a read; a directory in the file's place
// opens but cannot be read, which is as unreadable as a file can get here.
void replaceByDirectory(Sandbox& sandbox, ConfigFile file) {
    const std::filesystem::path path = sandbox.configDirectory() / configFileName(file);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
}

TEST(UnreadableConfiguration, IsReportedLikeAMissingFileAndOnlyItsKeysStayEmpty) {
    const struct {
        ConfigFile file;
        std::string message;
        std::string bannerLine;
    } cases[] = {
        {ConfigFile::system, "qor_system.cfg not exists", "Nosql IP      : 127.0.0.1"},
        {ConfigFile::rdb, "qorrdb.properties not exists", "Nosql IP      : "},
        {ConfigFile::olap, "qorolap.properties not exists", "QOROLAP IP    : "},
    };
    for (const auto& c : cases) {
        Sandbox sandbox;
        replaceByDirectory(sandbox, c.file);
        const RunResult result = sandbox.run(quietStart);
        EXPECT_EQ(result.exitStatus, 0) << c.message << result.out << result.err;
        const std::vector<std::string> messages = result.messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.front(), c.message);
        EXPECT_EQ(result.logs().front().function, "getDbUserInfo");
        EXPECT_TRUE(result.logged(c.bannerLine)) << result.out;
    }
}

TEST(UnreadableConfiguration, OptionsStillSupplyTheValues) {
    Sandbox sandbox;
    replaceByDirectory(sandbox, ConfigFile::rdb);
    replaceByDirectory(sandbox, ConfigFile::olap);
    const RunResult result = sandbox.run(with(quietStart, {"-ni", "10.2.2.2", "-ci", "10.3.3.3"}));
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_TRUE(result.logged("qorrdb.properties not exists"));
    EXPECT_TRUE(result.logged("qorolap.properties not exists"));
    EXPECT_TRUE(result.logged("Nosql IP      : 10.2.2.2"));
    EXPECT_TRUE(result.logged("QOROLAP IP    : 10.3.3.3"));
}

TEST(ThirtyDigitOptions, NumbersAreRefusedBeforeAnythingRuns) {
    Sandbox sandbox;
    const std::string thirty = "123456789012345678901234567890";
    for (const char* command : {"start", "retry", "check", "drop"}) {
        for (const char* option : {"-i", "-n", "-dl", "-w", "-ml"}) {
            for (const std::string& value : {thirty, "-" + thirty, "+" + thirty + "h"}) {
                const RunResult result =
                    sandbox.run({command, option, value, "-t", "tb_audit_log", "-f", "list.txt"});
                EXPECT_EQ(result.exitStatus, 1) << command << " " << option << " " << value;
                ASSERT_EQ(result.messages().size(), 1u) << result.out;
                EXPECT_EQ(result.messages()[0],
                          "Please check the value of the " + std::string(option) +
                              " option : " + value);
                EXPECT_EQ(result.err, "");
            }
        }
    }
    EXPECT_TRUE(sandbox.calls().empty());
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

TEST(ThirtyDigitOptions, TextOptionsAreTakenAsTypedAndMatchNothing) {
    Sandbox sandbox;
    const std::string thirty = "123456789012345678901234567890";
    const RunResult dates = sandbox.run({"start", "-s", thirty, "-e", thirty});
    EXPECT_EQ(dates.exitStatus, 1);
    EXPECT_EQ(dates.messages(),
              (std::vector<std::string>{"The time format is incorrect (\"ex) 2025-01-01\")",
                                        "input) start time : " + thirty + ", end time : " + thirty}));

    const RunResult names = sandbox.run({"start", "-t", thirty, "-p", thirty, "-w", "1"});
    EXPECT_EQ(names.exitStatus, 0) << names.out << names.err;
    EXPECT_TRUE(names.logged("Input Table   : " + thirty));
    EXPECT_TRUE(sandbox.calls("mongoexport").empty());
    EXPECT_TRUE(sandbox.calls("mongosh").empty());
}

TEST(HugeListFile, OneHundredThousandNamesAreWalkedAndTheSelectedOneMigrates) {
    const std::string collection = "tb_audit_log";
    Sandbox sandbox;
    ClickHouseEngine& engine = sandbox.useClickHouseEngine();
    const std::size_t documents =
        sandbox.generateCollection(collection, {.count = 400, .oldestSeconds = 1735689600,
                                                .newestSeconds = 1735689600 + 3 * 86400})
            .size();
    std::string list;
    for (int i = 0; i < 100000; ++i) {
        if (i % 1000 == 0) list += "[module_" + std::to_string(i / 1000) + "]\n";
        list += i == 54321 ? collection : "tb_listed_but_absent_" + std::to_string(i);
        list += "\n";
    }
    const std::string path = sandbox.writeListFile("huge.txt", list).string();

    const RunResult result = sandbox.run({"start", "-f", path, "-t", collection, "-w", "1"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(result.logged("File Data"));
    ASSERT_EQ(sandbox.calls("mongoexport").size(), 1u);
    EXPECT_EQ(sandbox.calls("mongoexport")[0].option("--collection"), collection);
    EXPECT_EQ(engine.count(collection), static_cast<std::int64_t>(documents));
    EXPECT_EQ(engine.count("mig_" + collection + "_completed"), static_cast<std::int64_t>(documents));
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

std::string randomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(count, '\0');
    for (char& c : bytes) c = static_cast<char>(byte(generator));
    return bytes;
}

// Short lines of name characters mixed with the shell's and the list
// file's own special characters: some lines are plain names, most are not.
std::string randomNameNoise(std::size_t count, std::uint32_t seed) {
    static const std::string alphabet = "abcxyz019_.-;$`'\" \t\r[]#|&\\\n\n\n";
    std::mt19937 generator(seed);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text(count, '\0');
    for (char& c : text) c = alphabet[pick(generator)];
    return text;
}

bool isPrintableAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c > 0x7e) return false;
    }
    return true;
}

// Whatever the file holds, no byte of it that is not a plain name character
// reaches a command line: such names are refused with a line of their own.
void expectOnlyPlainNamesReachedTheShell(const Sandbox& sandbox) {
    for (const RecordedCall& call : sandbox.calls()) {
        for (const std::string& argument : call.argv) {
            EXPECT_TRUE(isPrintableAscii(argument)) << call.joined();
        }
        const std::optional<std::string> collection = call.option("--collection");
        if (collection) EXPECT_TRUE(isAcceptableCollectionName(*collection)) << *collection;
    }
}

TEST(RandomListFile, EveryCommandCarriesOnWithoutCrashOrInjection) {
    Sandbox sandbox;
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::string noise = randomBytes(16384, seed);
        // The bare noise, the same under a header, which turns every line of
        // it into a collection name, and name-like noise under a header.
        for (const std::string& text :
             {noise, "[qor]\n" + noise, "[qor]\n" + randomNameNoise(2048, seed)}) {
            const std::string path = sandbox.writeListFile("drop_noise.txt", text).string();

            const RunResult start = sandbox.run({"start", "-f", path, "-w", "1"});
            EXPECT_TRUE(start.exitStatus == 0 || start.exitStatus == 1) << start.exitStatus;
            EXPECT_TRUE(start.logged("File Data"));
            EXPECT_TRUE(start.logged("**************** Migration End ****************"));
            EXPECT_EQ(start.exitStatus == 1,
                      start.out.find("Migration finished with failures : ") != std::string::npos);

            const RunResult check = sandbox.run({"check", "-f", path});
            EXPECT_EQ(check.exitStatus, 0) << check.err;

            const RunResult drop = sandbox.run({"drop", "-f", path}, "yes\n");
            EXPECT_EQ(drop.exitStatus, 0) << drop.err;
            EXPECT_NE(drop.out.find("DROP Collection List"), std::string::npos);
        }
    }
    EXPECT_FALSE(sandbox.calls("mongosh").empty()) << "no name of the noise was plain enough to try";
    expectOnlyPlainNamesReachedTheShell(sandbox);
    EXPECT_FALSE(std::filesystem::exists(sandbox.path("/var/run/qor/qorolapmigrate.pid")));
}

}  // namespace
}  // namespace qortest

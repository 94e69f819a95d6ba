#pragma once
// One test's world: a temporary root that the tool takes as
// QOROLAPMIGRATE_ROOT, with the server's configuration files, the MongoDB
// fixture, the ClickHouse side (canned answers or a chDB engine), psql
// (canned or the real server) and the record of every outside call.
//
// By default every outside program is a double: mongosh, mongoexport and
// free from tests/fakes/bin, clickhouse-client and psql canned. The tool's
// PATH holds only the sandbox's bin/ directory, so a program the test did
// not provide is missing, as it would be on a bare server.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "clickhouse_engine.h"
#include "log_lines.h"
#include "mongo_fixture.h"
#include "postgres_server.h"
#include "process.h"
#include "recorded_calls.h"

namespace qortest {

// Logins the doubles accept unless a test changes them; the default
// configuration files hold the same values.
namespace logins {
inline constexpr const char* host = "127.0.0.1";
inline constexpr const char* mongoUser = "mongouser";
inline constexpr const char* mongoPassword = "mongopass";
inline constexpr const char* clickhouseUser = "chuser";
inline constexpr const char* clickhousePassword = "chpass";
inline constexpr const char* postgresUser = PostgresServer::user;
inline constexpr const char* postgresPassword = PostgresServer::password;
}  // namespace logins

// Physical memory that the free double reports unless a test sets another.
inline constexpr std::uint64_t defaultMemoryBytes = 17179869184ULL;

enum class ConfigFile {
    system,  // qor_system.cfg: mydb.nosql.user, mydb.nosql.passwd
    rdb,     // qorrdb.properties: qorrdb.host, qorrdb.user, qorrdb.password
    olap,    // qorolap.properties: qorolap.host, qorolap.user, qorolap.password
};

std::string configFileName(ConfigFile file);

using ConfigEntries = std::vector<std::pair<std::string, std::string>>;

// One answer of the canned clickhouse-client: the first answer whose
// `substring` occurs in the query is given, at most `uses` times.
struct CannedAnswer {
    CannedAnswer(std::string substring, std::string out = "", int exitStatus = 0, std::string err = "",
                 std::optional<int> uses = std::nullopt)
        : substring(std::move(substring)), out(std::move(out)), exitStatus(exitStatus), err(std::move(err)),
          uses(uses) {}

    std::string substring;
    std::string out;
    int exitStatus;
    std::string err;
    std::optional<int> uses;
};

struct RunResult : ProcessResult {
    std::vector<LogLine> logs() const { return parseLogLines(out); }
    std::vector<std::string> messages() const { return logMessages(out); }
    bool logged(std::string_view message) const { return findLogLine(out, message).has_value(); }
};

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::filesystem::path& root() const { return root_; }
    // An absolute path of the tool, as it lies below the root ("/tmp/oid_list.txt").
    std::filesystem::path path(std::string_view absolute) const;
    std::filesystem::path configDirectory() const;
    std::filesystem::path mongoDirectory() const;
    std::filesystem::path recordDirectory() const;

    // Configuration files (key=value lines).
    void writeConfig(ConfigFile file, const ConfigEntries& entries);
    void writeConfigText(ConfigFile file, std::string_view text);
    void removeConfig(ConfigFile file);
    static ConfigEntries defaultConfig(ConfigFile file);

    // Any file below the root; returns its absolute path.
    std::filesystem::path writeFile(const std::filesystem::path& relative, std::string_view text);
    // A list file for -f, in lists/ below the root; returns its absolute path.
    std::filesystem::path writeListFile(std::string_view name, std::string_view text);

    // MongoDB fixture. Documents are compact Extended JSON lines with an
    // ObjectId _id; they are stored newest first whatever order they come in.
    void writeCollection(const std::string& name, std::vector<std::string> documents);
    // Returns the generated lines, oldest first.
    std::vector<std::string> generateCollection(const std::string& name, const GeneratedDocuments& shape);
    void setStorageSize(const std::string& name, std::uint64_t bytes);
    // The stored lines, newest first; nullopt when the collection does not exist.
    std::optional<std::vector<std::string>> collection(const std::string& name) const;

    // Outside programs.
    void answerClickHouse(const std::vector<CannedAnswer>& answers);
    ClickHouseEngine& useClickHouseEngine();
    PostgresServer& usePostgresServer();
    // Puts `target` in the tool's PATH as `name`.
    void linkProgram(const std::string& name, const std::filesystem::path& target);

    // Environment of the tool and its children, on top of the defaults.
    void setEnv(const std::string& name, const std::string& value);
    void unsetEnv(const std::string& name);
    void setMemoryBytes(std::uint64_t bytes);
    Environment environment() const;

    // Runs the tool with `args` (without the program name). What it printed
    // is kept with the passwords it was given (printed_output.h).
    RunResult run(const std::vector<std::string>& args, const std::string& stdinText = "");
    // Runs a /bin/sh command line in the tool's environment, as the tool would.
    RunResult runShell(const std::string& command, const std::string& stdinText = "");

    std::vector<RecordedCall> calls() const;
    std::vector<RecordedCall> calls(std::string_view program) const;
    void clearCalls();

private:
    RunResult runWithEnvironment(const std::vector<std::string>& argv, const std::string& stdinText);
    // The fixture's passwords, those of the configuration files and those
    // typed with -np and -cp.
    std::vector<std::string> passwordsGiven(const std::vector<std::string>& args) const;

    std::filesystem::path root_;
    Environment overrides_;
    std::vector<std::string> removed_;
    std::unique_ptr<ClickHouseEngine> engine_;
};

}  // namespace qortest

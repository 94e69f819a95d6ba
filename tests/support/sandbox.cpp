#include "sandbox.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "printed_output.h"
#include "rig_paths.h"

namespace qortest {
namespace {

void writeText(const std::filesystem::path& file, std::string_view text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string escapeRuleField(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (c == '\n') {
            escaped += "\\n";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::filesystem::path makeRoot() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qor-sandbox-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
    return pattern;
}

}  // namespace

std::string configFileName(ConfigFile file) {
    switch (file) {
        case ConfigFile::system: return "qor_system.cfg";
        case ConfigFile::rdb: return "qorrdb.properties";
        case ConfigFile::olap: return "qorolap.properties";
    }
    throw std::invalid_argument("unknown configuration file");
}

ConfigEntries Sandbox::defaultConfig(ConfigFile file) {
    switch (file) {
        case ConfigFile::system:
            return {{"mydb.nosql.user", logins::mongoUser}, {"mydb.nosql.passwd", logins::mongoPassword}};
        case ConfigFile::rdb:
            return {{"qorrdb.host", logins::host},
                    {"qorrdb.user", logins::postgresUser},
                    {"qorrdb.password", logins::postgresPassword}};
        case ConfigFile::olap:
            return {{"qorolap.host", logins::host},
                    {"qorolap.user", logins::clickhouseUser},
                    {"qorolap.password", logins::clickhousePassword}};
    }
    throw std::invalid_argument("unknown configuration file");
}

Sandbox::Sandbox() : root_(makeRoot()) {
    for (const char* directory : {"/opt/tevrik/qor/etc/config", "/var/run/qor", "/tmp", "/tevfs/clickhouse",
                                  "/tevfs/nosql"}) {
        std::filesystem::create_directories(path(directory));
    }
    std::filesystem::create_directories(mongoDirectory());
    std::filesystem::create_directories(recordDirectory());
    for (const ConfigFile file : {ConfigFile::system, ConfigFile::rdb, ConfigFile::olap}) {
        writeConfig(file, defaultConfig(file));
    }
    for (const char* program : {"mongosh", "mongoexport", "free"}) linkProgram(program, rig::fakesBin() / program);
    for (const char* program : {"clickhouse-client", "psql"}) linkProgram(program, rig::fakesCanned() / program);
    // The doubles, the stand-in and the tool's own command lines need these.
    for (const char* program : {"python3", "node", "awk", "du"}) linkProgram(program, rig::systemProgram(program));
}

Sandbox::~Sandbox() {
    engine_.reset();
    if (std::getenv("QOR_KEEP_SANDBOX")) {
        std::cerr << "sandbox kept at " << root_ << '\n';
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::filesystem::path Sandbox::path(std::string_view absolute) const {
    if (absolute.empty() || absolute.front() != '/') {
        throw std::invalid_argument("Sandbox::path wants an absolute path, not " + std::string(absolute));
    }
    return root_.string() + std::string(absolute);
}

std::filesystem::path Sandbox::configDirectory() const { return path("/opt/tevrik/qor/etc/config"); }
std::filesystem::path Sandbox::mongoDirectory() const { return root_ / "mongo"; }
std::filesystem::path Sandbox::recordDirectory() const { return root_ / "record"; }

void Sandbox::writeConfig(ConfigFile file, const ConfigEntries& entries) {
    std::string text;
    for (const auto& [key, value] : entries) text += key + "=" + value + "\n";
    writeConfigText(file, text);
}

void Sandbox::writeConfigText(ConfigFile file, std::string_view text) {
    writeText(configDirectory() / configFileName(file), text);
}

void Sandbox::removeConfig(ConfigFile file) { std::filesystem::remove(configDirectory() / configFileName(file)); }

std::filesystem::path Sandbox::writeFile(const std::filesystem::path& relative, std::string_view text) {
    const std::filesystem::path file = root_ / relative.relative_path();
    writeText(file, text);
    return file;
}

std::filesystem::path Sandbox::writeListFile(std::string_view name, std::string_view text) {
    return writeFile(std::filesystem::path("lists") / std::string(name), text);
}

void Sandbox::writeCollection(const std::string& name, std::vector<std::string> documents) {
    writeCollectionFile(mongoDirectory() / (name + ".jsonl"), std::move(documents));
}

std::vector<std::string> Sandbox::generateCollection(const std::string& name, const GeneratedDocuments& shape) {
    std::vector<std::string> lines = generateDocuments(shape);
    writeCollection(name, lines);
    return lines;
}

void Sandbox::setStorageSize(const std::string& name, std::uint64_t bytes) {
    writeText(mongoDirectory() / (name + ".storageSize"), std::to_string(bytes) + "\n");
}

std::optional<std::vector<std::string>> Sandbox::collection(const std::string& name) const {
    return readCollectionFile(mongoDirectory() / (name + ".jsonl"));
}

void Sandbox::answerClickHouse(const std::vector<CannedAnswer>& answers) {
    std::string text;
    for (const auto& answer : answers) {
        if (answer.substring.empty()) throw std::invalid_argument("a canned answer needs a substring");
        text += escapeRuleField(answer.substring) + "\t" + std::to_string(answer.exitStatus) + "\t" +
                escapeRuleField(answer.out) + "\t" + escapeRuleField(answer.err) + "\t" +
                (answer.uses ? std::to_string(*answer.uses) : std::string()) + "\n";
    }
    const std::filesystem::path rules = root_ / "clickhouse-answers.tsv";
    writeText(rules, text);
    std::filesystem::remove(rules.string() + ".uses");
}

ClickHouseEngine& Sandbox::useClickHouseEngine() {
    if (!engine_) engine_ = std::make_unique<ClickHouseEngine>(root_ / "chdb");
    linkProgram("clickhouse-client", ClickHouseEngine::clientProgram());
    return *engine_;
}

PostgresServer& Sandbox::usePostgresServer() {
    PostgresServer& server = PostgresServer::shared();
    server.reset();
    linkProgram("psql", PostgresServer::psqlProgram());
    return server;
}

void Sandbox::linkProgram(const std::string& name, const std::filesystem::path& target) {
    const std::filesystem::path link = root_ / "bin" / name;
    std::filesystem::create_directories(link.parent_path());
    std::filesystem::remove(link);
    std::filesystem::create_symlink(target, link);
}

void Sandbox::setEnv(const std::string& name, const std::string& value) {
    overrides_[name] = value;
    std::erase(removed_, name);
}

void Sandbox::unsetEnv(const std::string& name) {
    overrides_.erase(name);
    removed_.push_back(name);
}

void Sandbox::setMemoryBytes(std::uint64_t bytes) { setEnv("QOR_FREE_TOTAL_BYTES", std::to_string(bytes)); }

Environment Sandbox::environment() const {
    Environment env = rig::passedThrough();
    env["PATH"] = (root_ / "bin").string();
    env["HOME"] = root_.string();
    env["LANG"] = "C.UTF-8";
    env["QOROLAPMIGRATE_ROOT"] = root_.string();
    env["QOROLAPMIGRATE_NO_PAUSE"] = "1";
    env["QOR_MONGO_DIR"] = mongoDirectory().string();
    env["QOR_MONGO_USER"] = logins::mongoUser;
    env["QOR_MONGO_PASSWORD"] = logins::mongoPassword;
    env["QOR_CH_USER"] = logins::clickhouseUser;
    env["QOR_CH_PASSWORD"] = logins::clickhousePassword;
    env["QOR_CH_RULES"] = (root_ / "clickhouse-answers.tsv").string();
    env["QOR_FREE_TOTAL_BYTES"] = std::to_string(defaultMemoryBytes);
    env["QOR_RECORD_DIR"] = recordDirectory().string();
    if (engine_) {
        for (const auto& [name, value] : engine_->environment()) env[name] = value;
    }
    for (const auto& [name, value] : overrides_) env[name] = value;
    for (const auto& name : removed_) env.erase(name);
    return env;
}

RunResult Sandbox::runWithEnvironment(const std::vector<std::string>& argv, const std::string& stdinText) {
    // A fault planned for the Nth ClickHouse call counts the calls of this run only.
    if (engine_) engine_->resetCallCount();
    RunResult result;
    static_cast<ProcessResult&>(result) = runProcess(argv, environment(), stdinText, root_);
    return result;
}

RunResult Sandbox::run(const std::vector<std::string>& args, const std::string& stdinText) {
    std::vector<std::string> argv{rig::toolBinary().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult result = runWithEnvironment(argv, stdinText);
    keepPrintedOutput(passwordsGiven(args), result);
    return result;
}

std::vector<std::string> Sandbox::passwordsGiven(const std::vector<std::string>& args) const {
    std::vector<std::string> passwords = {logins::mongoPassword, logins::clickhousePassword,
                                          logins::postgresPassword};
    for (const ConfigFile file : {ConfigFile::system, ConfigFile::rdb, ConfigFile::olap}) {
        std::ifstream in(configDirectory() / configFileName(file));
        for (std::string line; std::getline(in, line);) {
            const std::size_t equals = line.find('=');
            if (equals == std::string::npos) continue;
            const std::string key = line.substr(0, equals);
            if (key.find("passw") != std::string::npos) passwords.push_back(line.substr(equals + 1));
        }
    }
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "-np" || args[i] == "-cp") passwords.push_back(args[i + 1]);
    }
    std::sort(passwords.begin(), passwords.end());
    passwords.erase(std::unique(passwords.begin(), passwords.end()), passwords.end());
    return passwords;
}

RunResult Sandbox::runShell(const std::string& command, const std::string& stdinText) {
    return runWithEnvironment({"/bin/sh", "-c", command}, stdinText);
}

std::vector<RecordedCall> Sandbox::calls() const { return readRecordedCalls(recordDirectory()); }

std::vector<RecordedCall> Sandbox::calls(std::string_view program) const {
    return readRecordedCalls(recordDirectory(), program);
}

void Sandbox::clearCalls() {
    std::filesystem::remove_all(recordDirectory());
    std::filesystem::create_directories(recordDirectory());
}

}  // namespace qortest

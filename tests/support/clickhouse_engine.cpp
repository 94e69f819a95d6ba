#include "clickhouse_engine.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "rig_paths.h"

namespace qortest {

ClickHouseEngine::ClickHouseEngine(std::filesystem::path sessionDirectory)
    : session_(std::move(sessionDirectory)) {
    Environment env = rig::passedThrough();
    env["PATH"] = rig::systemProgram("node").parent_path().string();
    const ProcessResult made = runProcess(
        {rig::systemProgram("node").string(), (rig::enginesDirectory() / "chdb-session").string(), "fresh",
         session_.string()},
        env);
    if (made.exitStatus != 0) {
        throw std::runtime_error("cannot prepare a ClickHouse session in " + session_.string() + ": " + made.err);
    }
    startServer();
}

ClickHouseEngine::~ClickHouseEngine() {
    if (serverPid_ <= 0) return;
    kill(serverPid_, SIGTERM);
    int status = 0;
    waitpid(serverPid_, &status, 0);
}

void ClickHouseEngine::startServer() {
    const std::filesystem::path log = session_ / ".qor-server.log";
    const std::string node = rig::systemProgram("node").string();
    const std::string script = (rig::enginesDirectory() / "chdb-server").string();
    const std::string directory = session_.string();
    std::vector<char*> argv{const_cast<char*>(node.c_str()), const_cast<char*>(script.c_str()),
                            const_cast<char*>(directory.c_str()), nullptr};
    std::vector<std::string> entries;
    for (const auto& [name, value] : rig::passedThrough()) entries.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int failure = posix_spawn(&pid, node.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failure != 0) throw std::runtime_error("cannot start chdb-server: " + std::string(std::strerror(failure)));
    serverPid_ = pid;

    // The socket appears once the session is open; until then calls would load the engine themselves.
    const std::filesystem::path socket = session_ / ".qor-server.sock";
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!std::filesystem::exists(socket)) {
        int status = 0;
        if (waitpid(serverPid_, &status, WNOHANG) == serverPid_ || std::chrono::steady_clock::now() > giveUp) {
            if (kill(serverPid_, 0) == 0) {
                kill(serverPid_, SIGKILL);
                waitpid(serverPid_, &status, 0);
            }
            serverPid_ = -1;
            std::ifstream in(log);
            throw std::runtime_error("chdb-server did not come up for " + session_.string() + ": " +
                                     std::string(std::istreambuf_iterator<char>(in), {}));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::filesystem::path ClickHouseEngine::clientProgram() {
    return rig::enginesDirectory() / "bin" / "clickhouse-client";
}

Environment ClickHouseEngine::environment() const {
    Environment env = rig::passedThrough();
    env["QOR_CH_SESSION_DIR"] = session_.string();
    return env;
}

std::string ClickHouseEngine::query(const std::string& sql, const std::string& input) const {
    Environment env = environment();
    env["PATH"] = rig::systemProgram("node").parent_path().string();
    const ProcessResult result = runProcess(
        {rig::systemProgram("node").string(), clientProgram().string(), "--port=8820", "--query=" + sql}, env,
        input);
    if (result.exitStatus != 0) {
        throw std::runtime_error("ClickHouse query failed (" + std::to_string(result.exitStatus) + "): " + sql +
                                 "\n" + result.err);
    }
    return result.out;
}

std::string ClickHouseEngine::value(const std::string& sql) const {
    const std::string out = query(sql);
    return out.substr(0, out.find('\n'));
}

std::int64_t ClickHouseEngine::count(const std::string& table) const {
    return std::stoll(value("SELECT count() FROM " + table));
}

void ClickHouseEngine::resetCallCount() const { std::filesystem::remove(session_ / ".qor-call-count"); }

}  // namespace qortest

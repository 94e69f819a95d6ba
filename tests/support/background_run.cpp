#include "background_run.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "rig_paths.h"

namespace qortest {
namespace {
std::string readWhole(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int uniqueNumber() {
    static int next = 0;
    return ++next;
}
}  // namespace

BackgroundRun::BackgroundRun(Sandbox& sandbox, const std::vector<std::string>& args) {
    const std::string stem = "background-" + std::to_string(getpid()) + "-" + std::to_string(uniqueNumber());
    out_ = sandbox.root() / (stem + ".out");
    err_ = sandbox.root() / (stem + ".err");

    std::vector<std::string> argv{rig::toolBinary().string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp;
    for (auto& arg : argv) argp.push_back(arg.data());
    argp.push_back(nullptr);
    std::vector<std::string> entries;
    for (const auto& [name, value] : sandbox.environment()) entries.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (devNull < 0 || out < 0 || err < 0)
        throw std::runtime_error("BackgroundRun: " + std::string(std::strerror(errno)));
    const std::string directory = sandbox.root().string();
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        dup2(devNull, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (chdir(directory.c_str()) != 0) _exit(127);
        execve(argp[0], argp.data(), envp.data());
        _exit(127);
    }
    close(devNull);
    close(out);
    close(err);
    if (pid_ < 0) throw std::runtime_error("BackgroundRun: fork failed");
    // Also from this side, so that a signal sent right after the start
    // already finds the group.
    setpgid(pid_, pid_);
}

BackgroundRun::~BackgroundRun() {
    if (finished_) return;
    signalGroup(SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
}

bool BackgroundRun::waitForOutput(std::string_view text, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (outputSoFar().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return outputSoFar().find(text) != std::string::npos;
}

std::string BackgroundRun::outputSoFar() const { return readWhole(out_); }

void BackgroundRun::signalGroup(int signal) const { kill(-pid_, signal); }

RunResult BackgroundRun::finish() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    finished_ = true;
    RunResult result;
    result.out = readWhole(out_);
    result.err = readWhole(err_);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace qortest

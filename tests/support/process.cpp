#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace qortest {
namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
        read = ends[0];
        write = ends[1];
    }
};

void closeIfOpen(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

std::string searchPath(const std::string& program, const std::string& path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string directory = path.substr(start, end - start);
        const std::string candidate = (directory.empty() ? "." : directory) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

// Feeds stdin and drains stdout and stderr together, so that a child that
// writes a lot before reading everything cannot dead-lock against us.
void exchange(int input, int output, int error, const std::string& stdinText, std::string& out,
              std::string& err) {
    std::size_t written = 0;
    if (stdinText.empty()) {
        closeIfOpen(input);
    } else {
        fcntl(input, F_SETFL, fcntl(input, F_GETFL) | O_NONBLOCK);
    }
    char buffer[65536];
    while (output >= 0 || error >= 0) {
        pollfd fds[3];
        int count = 0;
        auto add = [&](int fd, short events) {
            if (fd >= 0) fds[count++] = pollfd{fd, events, 0};
        };
        add(output, POLLIN);
        add(error, POLLIN);
        add(input, POLLOUT);
        if (poll(fds, count, -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll: " + std::string(std::strerror(errno)));
        }
        for (int i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == input) {
                const ssize_t n = ::write(input, stdinText.data() + written, stdinText.size() - written);
                if (n < 0 && errno != EINTR && errno != EAGAIN) {
                    closeIfOpen(input);  // the child stopped reading; what is left is dropped
                } else if (n > 0) {
                    written += static_cast<std::size_t>(n);
                    if (written == stdinText.size()) closeIfOpen(input);
                }
                continue;
            }
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (fds[i].fd == output ? out : err).append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                closeIfOpen(fds[i].fd == output ? output : error);
            }
        }
    }
    closeIfOpen(input);
}

}  // namespace

std::filesystem::path findInPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    return searchPath(program, path ? path : "/usr/bin:/bin");
}

ProcessResult runProcess(const std::vector<std::string>& argv, const Environment& env,
                         const std::string& stdinText, const std::filesystem::path& workingDirectory) {
    if (argv.empty()) throw std::invalid_argument("runProcess: empty argv");
    std::string program = argv[0];
    if (program.find('/') == std::string::npos) {
        const auto path = env.find("PATH");
        program = searchPath(program, path == env.end() ? "" : path->second);
        if (program.empty()) throw std::runtime_error("runProcess: " + argv[0] + " is not in PATH");
    }

    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> entries;
    for (const auto& [name, value] : env) entries.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);

    Pipe input, output, error;
    // A child that closes its input early must not kill us with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input.read, 0);
    posix_spawn_file_actions_adddup2(&actions, output.write, 1);
    posix_spawn_file_actions_adddup2(&actions, error.write, 2);
    if (!workingDirectory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    }
    // The child gets the default SIGPIPE behaviour back, like a shell would give it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    pid_t pid = 0;
    const int failure = posix_spawn(&pid, program.c_str(), &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    closeIfOpen(input.read);
    closeIfOpen(output.write);
    closeIfOpen(error.write);
    if (failure != 0) {
        closeIfOpen(input.write);
        closeIfOpen(output.read);
        closeIfOpen(error.read);
        throw std::runtime_error("runProcess: cannot start " + program + ": " + std::strerror(failure));
    }

    ProcessResult result;
    exchange(input.write, output.read, error.read, stdinText, result.out, result.err);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid: " + std::string(std::strerror(errno)));
    }
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace qortest

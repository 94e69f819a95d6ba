#include "exec/host.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>

#include "exec/child_groups.h"
#include "exec/private_file.h"

extern char** environ;

ChildStatus childStatusFromWait(int raw) {
    if (raw == -1) return ChildStatus{};
    if (WIFEXITED(raw)) return ChildStatus{raw, WEXITSTATUS(raw)};
    if (WIFSIGNALED(raw)) return ChildStatus{raw, 128 + WTERMSIG(raw)};
    return ChildStatus{raw, -1};
}

namespace {
// A child writes straight to the tool's descriptors; whatever the tool has
// printed before must be out first or the console shows it after the child.
void flushOwnOutput() {
    std::cout.flush();
    std::fflush(stdout);
}

// The tool's environment with the command's own variables in place of any
// of the same name. Built before fork, as the child may only exec.
std::vector<std::string> environmentOf(const ShellCommand& command) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        bool replaced = false;
        for (const auto& [name, value] : command.environment)
            replaced = replaced || text.substr(0, text.find('=')) == name;
        if (!replaced) entries.emplace_back(text);
    }
    for (const auto& [name, value] : command.environment) entries.push_back(name + "=" + value);
    return entries;
}

// In the child: a standard stream of the tool whose reader went away (the
// pipe's other end is closed) becomes /dev/null, so that the child's output
// is dropped as the tool's is, instead of ending the child with SIGPIPE.
void dropOutputWithoutReader(int stream) {
    pollfd probe{stream, 0, 0};
    if (poll(&probe, 1, 0) != 1 || (probe.revents & POLLERR) == 0) return;
    const int nothing = open("/dev/null", O_WRONLY);
    if (nothing == -1) return;
    dup2(nothing, stream);
    close(nothing);
}

// Starts `/bin/sh -c text` with `input` and `output` (when not -1) as its
// standard input and output; every other end of `closeInChild` is closed in
// the child, so a reader sees end of data as soon as the writer is gone.
pid_t startShell(const ShellCommand& command, int input, int output,
                 std::initializer_list<int> closeInChild) {
    std::vector<std::string> entries = environmentOf(command);
    std::vector<char*> envp;
    for (std::string& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);
    ChildStart start(command.text.substr(0, command.text.find(' ')));
    if (start.refused()) return -1;
    const pid_t child = fork();
    if (child != 0) {
        start.admit(child);
        return child;
    }
    start.enterInChild();
    if (input != -1 && dup2(input, STDIN_FILENO) == -1) _exit(127);
    if (output != -1 && dup2(output, STDOUT_FILENO) == -1) _exit(127);
    for (int end : closeInChild) close(end);
    if (output == -1) dropOutputWithoutReader(STDOUT_FILENO);
    dropOutputWithoutReader(STDERR_FILENO);
    execle("/bin/sh", "sh", "-c", command.text.c_str(), static_cast<char*>(nullptr), envp.data());
    _exit(127);
}

ChildStatus waitForChild(pid_t child) {
    if (child == -1) return ChildStatus{};
    // Seen ended but not yet reaped: its id stays its own until it is out
    // of the ledger and out of reach of the stop signal.
    siginfo_t ended{};
    while (waitid(P_PID, child, &ended, WEXITED | WNOWAIT) == -1 && errno == EINTR) {
    }
    forgetChild(child);
    int raw = 0;
    while (waitpid(child, &raw, 0) == -1) {
        if (errno != EINTR) return ChildStatus{};
    }
    return childStatusFromWait(raw);
}

// Makes the command's secret file, when it has one, to live as long as
// `file`; false when it could not be made.
bool makeSecretFile(const ShellCommand& command, std::optional<PrivateFile>& file) {
    if (!command.secretFile) return true;
    file.emplace(command.secretFile->path, command.secretFile->content);
    return file->created();
}

ChildStatus readOutput(const ShellCommand& command, std::size_t pieceSize,
                       const std::function<void(std::string_view)>& onPiece) {
    std::optional<PrivateFile> secret;
    if (!makeSecretFile(command, secret)) return ChildStatus{};
    flushOwnOutput();
    int ends[2];
    if (pipe(ends) == -1) return ChildStatus{};
    const pid_t child = startShell(command, -1, ends[1], {ends[0], ends[1]});
    close(ends[1]);
    // Read as fgets would, so every reader sees the same pieces as before.
    FILE* stream = fdopen(ends[0], "r");
    if (stream == nullptr) {
        close(ends[0]);
    } else {
        std::vector<char> buffer(pieceSize);
        while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), stream) != nullptr)
            onPiece(std::string_view(buffer.data()));
        std::fclose(stream);
    }
    return waitForChild(child);
}

ChildStatus run(const ShellCommand& command) {
    std::optional<PrivateFile> secret;
    if (!makeSecretFile(command, secret)) return ChildStatus{};
    flushOwnOutput();
    return waitForChild(startShell(command, -1, -1, {}));
}

// The pipelines started and not yet reaped, with the secret files that
// must last as long as they run.
struct RunningPipeline {
    pid_t producer = -1;
    pid_t consumer = -1;
    std::optional<PrivateFile> producerSecret;
    std::optional<PrivateFile> consumerSecret;
    PipelineStatus status;
};
std::map<PipelineId, RunningPipeline> runningPipelines;
PipelineId lastPipeline = 0;

PipelineId startPipeline(const ShellCommand& producer, const ShellCommand& consumer) {
    const PipelineId id = ++lastPipeline;
    RunningPipeline& pipeline = runningPipelines[id];
    if (!makeSecretFile(producer, pipeline.producerSecret) || !makeSecretFile(consumer, pipeline.consumerSecret))
        return id;
    flushOwnOutput();
    int ends[2];
    if (pipe(ends) == -1) return id;
    pipeline.producer = startShell(producer, -1, ends[1], {ends[0], ends[1]});
    if (pipeline.producer != -1) pipeline.consumer = startShell(consumer, ends[0], -1, {ends[0], ends[1]});
    // Only the children may hold the pipe: with the tool's ends open the
    // consumer would never see the end of its input.
    close(ends[0]);
    close(ends[1]);
    return id;
}

// Reaps `child` when it has ended; true once it is reaped (or was never started).
bool reapedIfEnded(pid_t& child, ChildStatus& status) {
    if (child == -1) return true;
    siginfo_t ended{};
    if (waitid(P_PID, child, &ended, WEXITED | WNOHANG | WNOWAIT) == -1 || ended.si_pid == 0) return false;
    status = waitForChild(child);
    child = -1;
    return true;
}

std::optional<EndedPipeline> awaitPipeline(unsigned seconds) {
    // Children end without a word to the tool; a short look every few
    // milliseconds costs nothing beside what they do.
    constexpr long lookEveryNanoseconds = 20'000'000;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::time_t until = now.tv_sec + seconds;
    while (!runningPipelines.empty()) {
        for (auto pipeline = runningPipelines.begin(); pipeline != runningPipelines.end(); ++pipeline) {
            RunningPipeline& running = pipeline->second;
            const bool producerDone = reapedIfEnded(running.producer, running.status.producer);
            if (!reapedIfEnded(running.consumer, running.status.consumer) || !producerDone) continue;
            const EndedPipeline ended{pipeline->first, running.status};
            runningPipelines.erase(pipeline);
            return ended;
        }
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec >= until) break;
        const timespec look{0, lookEveryNanoseconds};
        nanosleep(&look, nullptr);
    }
    return std::nullopt;
}

std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

// Tests and the sandbox run many short migrations; the pauses are there for a
// production ClickHouse and would only make them slow.
bool pausesSkipped() {
    const char* value = std::getenv("QOROLAPMIGRATE_NO_PAUSE");
    return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

void sleepFor(unsigned seconds) {
    if (!pausesSkipped()) pauseUnlessStopped(seconds);
}

std::optional<FileSystemFigures> fileSystem(const std::string& path) {
    struct statvfs figures {};
    if (statvfs(path.c_str(), &figures) != 0) return std::nullopt;
    return FileSystemFigures{figures.f_blocks, figures.f_frsize, figures.f_bfree, figures.f_bavail};
}
}  // namespace

const Host& realHost() {
    static const Host host{readOutput, run, startPipeline, awaitPipeline, now, sleepFor, fileSystem, stopSignal};
    return host;
}

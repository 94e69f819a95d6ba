#include "exec/host.h"

#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <vector>

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

ChildStatus readOutput(const std::string& command, std::size_t pieceSize,
                       const std::function<void(std::string_view)>& onPiece) {
    flushOwnOutput();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return ChildStatus{};
    std::vector<char> buffer(pieceSize);
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe) != nullptr)
        onPiece(std::string_view(buffer.data()));
    return childStatusFromWait(pclose(pipe));
}

ChildStatus run(const std::string& command) {
    flushOwnOutput();
    return childStatusFromWait(std::system(command.c_str()));
}

ChildStatus waitForChild(pid_t child) {
    int raw = 0;
    while (waitpid(child, &raw, 0) == -1) {
        if (errno != EINTR) return ChildStatus{};
    }
    return childStatusFromWait(raw);
}

// Starts `/bin/sh -c command` with `ownEnd` of the pipe as its standard
// input or output (`target`); the child keeps no other end of the pipe, so
// the reader sees end of data as soon as the writer is gone.
pid_t startShell(const std::string& command, const int (&pipeEnds)[2], int ownEnd, int target) {
    const pid_t child = fork();
    if (child != 0) return child;
    if (dup2(pipeEnds[ownEnd], target) == -1) _exit(127);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

PipelineStatus runPipeline(const std::string& producer, const std::string& consumer) {
    flushOwnOutput();
    PipelineStatus status;
    int pipeEnds[2];
    if (pipe(pipeEnds) == -1) return status;
    const pid_t producerId = startShell(producer, pipeEnds, 1, STDOUT_FILENO);
    const pid_t consumerId =
        producerId == -1 ? -1 : startShell(consumer, pipeEnds, 0, STDIN_FILENO);
    // Only the children may hold the pipe: with the tool's ends open the
    // consumer would never see the end of its input.
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    if (producerId != -1) status.producer = waitForChild(producerId);
    if (consumerId != -1) status.consumer = waitForChild(consumerId);
    return status;
}

std::int64_t now() { return static_cast<std::int64_t>(std::time(nullptr)); }

// Tests and the sandbox run many short migrations; the pauses are there for a
// production ClickHouse and would only make them slow.
bool pausesSkipped() {
    const char* value = std::getenv("QOROLAPMIGRATE_NO_PAUSE");
    return value != nullptr && *value != '\0' && std::string_view(value) != "0";
}

void sleepFor(unsigned seconds) {
    if (pausesSkipped()) return;
    while (seconds > 0) seconds = sleep(seconds);
}

std::optional<FileSystemFigures> fileSystem(const std::string& path) {
    struct statvfs figures {};
    if (statvfs(path.c_str(), &figures) != 0) return std::nullopt;
    return FileSystemFigures{figures.f_blocks, figures.f_frsize, figures.f_bfree, figures.f_bavail};
}
}  // namespace

const Host& realHost() {
    static const Host host{readOutput, run, runPipeline, now, sleepFor, fileSystem};
    return host;
}

#pragma once
// src/exec, the floor of everything that reaches outside the tool: the Host
// seam, the runners, the pipeline pool, the children's process groups,
// private files, the dry run, and the command texts of each client with
// their quoting. It decides nothing about a migration, and includes no
// floor above it.
//
// The one seam between the tool and the machine it runs on: child processes,
// the clock, sleeping and file-system figures. Everything above it decides;
// everything below it only does. Tests hand the run a Host whose members
// answer from memory, so guards and loops run without children or sleeps.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Exit status of a child the way a caller wants to read it: the exit code for
// a normal exit, 128 + signal number for a killed child, -1 when it could not
// be started at all. `raw` keeps the wait status as the system reported it.
struct ChildStatus {
    int raw = -1;
    int code = -1;
    bool started() const { return code != -1; }
    bool succeeded() const { return code == 0; }
};

ChildStatus childStatusFromWait(int raw);

struct PipelineStatus {
    ChildStatus producer;
    ChildStatus consumer;
};

// A pipeline started and not yet seen to end.
using PipelineId = std::uint64_t;

struct EndedPipeline {
    PipelineId id = 0;
    PipelineStatus status;
};

// A secret for a client that reads it only from a file.
struct SecretFile {
    std::string path;
    std::string content;
};

// A command line for /bin/sh and the variables its shell gets on top of the
// tool's own environment. Secrets travel in the variables, never in the
// text: the text of every process is readable by any local account. A
// secret file exists only while the command runs: the host makes it just
// before the start and removes it after the end, so a command that is only
// shown, never run, leaves no secret on the disk.
struct ShellCommand {
    std::string text;
    std::vector<std::pair<std::string, std::string>> environment;
    std::optional<SecretFile> secretFile;
};

struct FileSystemFigures {
    std::uint64_t blocks = 0;
    std::uint64_t fragmentSize = 0;
    std::uint64_t freeBlocks = 0;       // including those reserved for root
    std::uint64_t availableBlocks = 0;  // for unprivileged users
};

// A command whose secret file cannot be made is not started: its status
// says so (code -1) after a line naming the file.
struct Host {
    // Runs `command` through /bin/sh and hands its standard output to
    // `onPiece` in pieces of at most `pieceSize - 1` bytes, each ending at a
    // newline or at the size limit, exactly as fgets would read them.
    std::function<ChildStatus(const ShellCommand& command, std::size_t pieceSize,
                              const std::function<void(std::string_view)>& onPiece)>
        readOutput;
    // Runs `command` through /bin/sh with the tool's own standard streams (in a
    // migration run standard input is /dev/null).
    std::function<ChildStatus(const ShellCommand& command)> run;
    // Starts `producer | consumer`, each through /bin/sh, joined by a pipe that
    // never passes through the tool, and returns at once. A pipeline that
    // could not be started ends at once with the statuses that say so.
    std::function<PipelineId(const ShellCommand& producer, const ShellCommand& consumer)> startPipeline;
    // Waits up to `seconds` for one started pipeline to end and reports both
    // its statuses; nothing when none ended in that time or none runs.
    std::function<std::optional<EndedPipeline>(unsigned seconds)> awaitPipeline;
    std::function<std::int64_t()> now;  // epoch seconds
    std::function<void(unsigned seconds)> sleepFor;
    std::function<std::optional<FileSystemFigures>(const std::string& path)> fileSystem;
    // The signal that stopped the run, 0 while none did. Once there is one,
    // no further child is started and no pause is kept.
    std::function<int()> stopSignal;
};

// The real machine.
const Host& realHost();

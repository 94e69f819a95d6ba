#pragma once
// A Host that answers from memory: the first scripted fragment found in a
// command gives its printed text and exit code; every pause is recorded.
// No child process, no sleep.

#include <map>
#include <string>
#include <vector>

#include "exec/host.h"

struct FakeHost {
    std::map<std::string, std::pair<std::string, int>> answers;  // fragment -> (stdout, exit)
    std::vector<unsigned> sleeps;
    std::int64_t clock = 1'700'000'000;

    Host host() {
        Host h;
        h.readOutput = [this](const ShellCommand& command, std::size_t,
                              const std::function<void(std::string_view)>& onPiece) {
            for (const auto& [fragment, answer] : answers) {
                if (command.text.find(fragment) == std::string::npos) continue;
                if (!answer.first.empty()) onPiece(answer.first);
                return childStatusFromWait(answer.second << 8);
            }
            return childStatusFromWait(0);
        };
        h.run = [](const ShellCommand&) { return childStatusFromWait(0); };
        h.runPipeline = [](const ShellCommand&, const ShellCommand&) {
            return PipelineStatus{childStatusFromWait(0), childStatusFromWait(0)};
        };
        h.now = [this] { return clock; };
        h.sleepFor = [this](unsigned seconds) { sleeps.push_back(seconds); };
        h.fileSystem = [](const std::string&) { return std::optional<FileSystemFigures>{}; };
        h.stopSignal = [] { return 0; };
        return h;
    }
};

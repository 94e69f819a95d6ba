#pragma once
// A Host that answers from memory: the longest scripted fragment found in a
// command gives its printed text and exit code, for reads and runs alike;
// every pause is recorded. No child process, no sleep.

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "exec/host.h"

struct FakeHost {
    std::map<std::string, std::pair<std::string, int>> answers;  // fragment -> (stdout, exit)
    std::optional<FileSystemFigures> figures;
    std::vector<unsigned> sleeps;
    std::vector<std::string> asked;      // the commands whose output was read
    std::vector<std::string> pipelines;  // "producer | consumer", as started
    int stop = 0;                        // the signal that stopped the run
    std::vector<EndedPipeline> running;
    std::size_t mostRunning = 0;
    std::int64_t clock = 1'700'000'000;

    std::pair<std::string, int> answer(const ShellCommand& command) const {
        const std::pair<std::string, int>* found = nullptr;
        std::size_t longest = 0;
        for (const auto& [fragment, answer] : answers)
            if (fragment.size() >= longest && command.text.find(fragment) != std::string::npos)
                found = &answer, longest = fragment.size();
        return found ? *found : std::pair<std::string, int>{"", 0};
    }

    Host host() {
        Host h;
        h.readOutput = [this](const ShellCommand& command, std::size_t,
                              const std::function<void(std::string_view)>& onPiece) {
            asked.push_back(command.text);
            const auto [text, code] = answer(command);
            // A line at a time, as fgets reads them.
            for (std::size_t at = 0; at < text.size();) {
                const std::size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
                onPiece(std::string_view(text).substr(at, end - at));
                at = end;
            }
            return childStatusFromWait(code << 8);
        };
        h.run = [this](const ShellCommand& command) { return childStatusFromWait(answer(command).second << 8); };
        // Pipelines end in the order they started, each side as answered.
        h.startPipeline = [this](const ShellCommand& producer, const ShellCommand& consumer) {
            pipelines.push_back(producer.text + " | " + consumer.text);
            running.push_back({pipelines.size(), {childStatusFromWait(answer(producer).second << 8),
                                                  childStatusFromWait(answer(consumer).second << 8)}});
            mostRunning = std::max(mostRunning, running.size());
            return running.back().id;
        };
        h.awaitPipeline = [this](unsigned) -> std::optional<EndedPipeline> {
            if (running.empty()) return std::nullopt;
            const EndedPipeline ended = running.front();
            running.erase(running.begin());
            return ended;
        };
        h.now = [this] { return clock; };
        h.sleepFor = [this](unsigned seconds) { sleeps.push_back(seconds); };
        h.fileSystem = [this](const std::string&) { return figures; };
        h.stopSignal = [this] { return stop; };
        return h;
    }
};

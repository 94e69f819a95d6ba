#include "fake_host.h"

#include <algorithm>

namespace {
ChildStatus exited(int code) { return ChildStatus{code << 8, code}; }
}  // namespace

void FakeHost::answer(const std::string& fragment, std::string output, int exitCode) {
    rules_.push_back({fragment, {Answer{std::move(output), exitCode}}});
}

void FakeHost::answerInTurn(const std::string& fragment, std::vector<Answer> answers) {
    rules_.push_back({fragment, std::deque<Answer>(answers.begin(), answers.end())});
}

void FakeHost::pipelineEnds(const std::string& fragment, int producerExit, int consumerExit) {
    pipelineRules_.push_back({fragment, producerExit, consumerExit});
}

std::vector<std::string> FakeHost::commandsContaining(const std::string& fragment) const {
    std::vector<std::string> found;
    std::copy_if(commands_.begin(), commands_.end(), std::back_inserter(found),
                 [&](const std::string& c) { return c.find(fragment) != std::string::npos; });
    return found;
}

FakeHost::Answer FakeHost::next(const std::string& command) {
    commands_.push_back(command);
    for (auto rule = rules_.rbegin(); rule != rules_.rend(); ++rule) {
        if (command.find(rule->fragment) == std::string::npos) continue;
        Answer answer = rule->answers.front();
        if (rule->answers.size() > 1) rule->answers.pop_front();
        return answer;
    }
    return {};
}

Host FakeHost::host() {
    Host host;
    host.readOutput = [this](const std::string& command, std::size_t pieceSize,
                             const std::function<void(std::string_view)>& onPiece) {
        const Answer answer = next(command);
        // Pieces as fgets hands them out: up to a newline or pieceSize - 1 bytes.
        std::string_view rest = answer.output;
        while (!rest.empty()) {
            std::size_t length = std::min(rest.size(), pieceSize - 1);
            const std::size_t newline = rest.substr(0, length).find('\n');
            if (newline != std::string_view::npos) length = newline + 1;
            onPiece(rest.substr(0, length));
            rest.remove_prefix(length);
        }
        return exited(answer.exitCode);
    };
    host.run = [this](const std::string& command) { return exited(next(command).exitCode); };
    host.runPipeline = [this](const std::string& producer, const std::string& consumer) {
        const std::string command = producer + " | " + consumer;
        commands_.push_back(command);
        for (auto rule = pipelineRules_.rbegin(); rule != pipelineRules_.rend(); ++rule) {
            if (command.find(rule->fragment) != std::string::npos) {
                return PipelineStatus{exited(rule->producerExit), exited(rule->consumerExit)};
            }
        }
        return PipelineStatus{exited(0), exited(0)};
    };
    host.now = [this] { return clock; };
    host.sleepFor = [this](unsigned seconds) {
        sleeps_.push_back(seconds);
        clock += seconds;
    };
    host.fileSystem = [this](const std::string&) { return fileSystem; };
    return host;
}

#pragma once
// A Host that answers from memory: tests script what each command prints and
// how it ends, read back every command in order, and run guards and loops
// with a clock that only moves when the code sleeps.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "exec/host.h"

class FakeHost {
public:
    struct Answer {
        std::string output;
        int exitCode = 0;
    };

    // Commands containing `fragment` get `answer`; the rule added last wins
    // among those that match. A command no rule matches prints nothing and
    // succeeds.
    void answer(const std::string& fragment, std::string output, int exitCode = 0);
    // Successive matching commands get the answers in turn; the last one
    // repeats.
    void answerInTurn(const std::string& fragment, std::vector<Answer> answers);
    // Pipelines containing `fragment` end with these two exit codes.
    void pipelineEnds(const std::string& fragment, int producerExit, int consumerExit);

    // Every command in order; a pipeline is recorded as "producer | consumer".
    const std::vector<std::string>& commands() const { return commands_; }
    std::vector<std::string> commandsContaining(const std::string& fragment) const;
    const std::vector<unsigned>& sleeps() const { return sleeps_; }

    std::int64_t clock = 1'735'689'600;  // 2025-01-01 00:00:00 UTC
    std::optional<FileSystemFigures> fileSystem;

    // The Host refers to this object, which must outlive it.
    Host host();

private:
    struct Rule {
        std::string fragment;
        std::deque<Answer> answers;
    };
    Answer next(const std::string& command);

    std::vector<Rule> rules_;
    std::vector<std::string> commands_;
    std::vector<unsigned> sleeps_;
    struct PipelineRule {
        std::string fragment;
        int producerExit;
        int consumerExit;
    };
    std::vector<PipelineRule> pipelineRules_;
};

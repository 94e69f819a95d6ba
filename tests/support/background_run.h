#pragma once
// The tool running in the background of a test: for the faults that need a
// run in flight, such as a kill in the middle of a migration or a second
// run started while the first is still going.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "sandbox.h"

namespace qortest {

class BackgroundRun {
public:
    // Starts the tool with `args` in the sandbox's environment, in a process
    // group of its own so that a kill can take its pipeline with it, as a
    // service manager or the OOM killer of a cgroup would.
    BackgroundRun(Sandbox& sandbox, const std::vector<std::string>& args);
    ~BackgroundRun();
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    pid_t pid() const { return pid_; }

    // True once the standard output holds `text`; false after `timeout`.
    bool waitForOutput(std::string_view text, std::chrono::milliseconds timeout) const;
    std::string outputSoFar() const;

    // Sends `signal` to the tool and every process of its group.
    void signalGroup(int signal) const;

    // Waits for the tool's end; what it wrote and how it ended.
    RunResult finish();

private:
    std::filesystem::path out_;
    std::filesystem::path err_;
    pid_t pid_ = -1;
    bool finished_ = false;
};

}  // namespace qortest

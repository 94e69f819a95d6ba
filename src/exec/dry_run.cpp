#include "exec/dry_run.h"

#include "util/log.h"

std::string shownCommand(const ShellCommand& command) {
    std::string shown;
    for (const auto& [name, value] : command.environment) shown += name + "=*** ";
    return shown + command.text;
}

Host dryRunHost(const Host& real) {
    Host host = real;
    const ChildStatus succeeded{0, 0};
    host.run = [succeeded](const ShellCommand& command) {
        LOG_AS("dryRun", "[DRY-RUN] ", shownCommand(command));
        return succeeded;
    };
    host.runPipeline = [succeeded](const ShellCommand& producer, const ShellCommand& consumer) {
        LOG_AS("dryRun", "[DRY-RUN] ", shownCommand(producer), " | ", shownCommand(consumer));
        return PipelineStatus{succeeded, succeeded};
    };
    host.sleepFor = [](unsigned) {};
    return host;
}

#include "exec/dry_run.h"

#include <deque>
#include <memory>

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
    // Shown at once and ended at once, in the order they were started.
    struct Shown {
        PipelineId last = 0;
        std::deque<PipelineId> ending;
    };
    const auto shown = std::make_shared<Shown>();
    host.startPipeline = [shown](const ShellCommand& producer, const ShellCommand& consumer) {
        LOG_AS("dryRun", "[DRY-RUN] ", shownCommand(producer), " | ", shownCommand(consumer));
        shown->ending.push_back(++shown->last);
        return shown->last;
    };
    host.awaitPipeline = [shown, succeeded](unsigned) -> std::optional<EndedPipeline> {
        if (shown->ending.empty()) return std::nullopt;
        const PipelineId id = shown->ending.front();
        shown->ending.pop_front();
        return EndedPipeline{id, {succeeded, succeeded}};
    };
    host.sleepFor = [](unsigned) {};
    return host;
}

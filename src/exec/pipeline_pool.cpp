#include "exec/pipeline_pool.h"

#include <map>

void runPipelines(const Host& host, std::size_t width, const std::function<std::optional<PipelineJob>()>& next,
                  const std::function<void(std::size_t job, const PipelineStatus& status)>& ended,
                  const std::function<void()>& tick) {
    std::map<PipelineId, std::size_t> running;
    std::size_t handedOut = 0;
    for (bool more = true;;) {
        while (more && running.size() < width && host.stopSignal() == 0) {
            const std::optional<PipelineJob> job = next();
            more = job.has_value();
            if (more) running[host.startPipeline(job->producer, job->consumer)] = handedOut++;
        }
        if (running.empty()) return;
        const std::optional<EndedPipeline> done = host.awaitPipeline(1);
        if (tick) tick();
        if (!done) continue;
        const auto job = running.find(done->id);
        if (job == running.end()) continue;
        ended(job->second, done->status);
        running.erase(job);
    }
}

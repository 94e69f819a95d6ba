#pragma once
// Several export-and-load pipelines at once. One exporter reads one cursor,
// and a collection of hundreds of millions of documents takes hours through
// one of them while both servers idle on most of their cores; so a mover
// hands its pipelines here and this one place runs up to N of them, each
// reported as it ends. Nothing above knows about processes.

#include <cstddef>
#include <functional>
#include <optional>

#include "exec/host.h"

struct PipelineJob {
    ShellCommand producer;
    ShellCommand consumer;
};

// Starts the jobs `next` hands out, up to `width` at a time, and hands each
// one's statuses to `ended` as it ends, with the job's number (from 0, in the
// order they were handed out); whichever ends first is reported first. `next`
// is asked whenever a place is free, until it hands out nothing or the run
// was stopped. `tick` is called at least once a second while any runs.
// Returns once every job started has ended.
void runPipelines(const Host& host, std::size_t width, const std::function<std::optional<PipelineJob>()>& next,
                  const std::function<void(std::size_t job, const PipelineStatus& status)>& ended,
                  const std::function<void()>& tick = {});

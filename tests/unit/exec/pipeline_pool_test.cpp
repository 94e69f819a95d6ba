#include <gtest/gtest.h>

#include "../fake_host.h"
#include "exec/pipeline_pool.h"

TEST(PipelinePool, RunsUpToItsWidthReportsEachJobAsItEndsAndStartsNoneAfterAStop) {
    for (const int stopAfter : {0, 4}) {
        FakeHost fake;
        fake.answers = {{"export 5", {"", 1}}};
        const Host host = fake.host();
        int handedOut = 0;
        std::string ended;
        runPipelines(
            host, 3,
            [&]() -> std::optional<PipelineJob> {
                if (handedOut == 7) return std::nullopt;
                if (++handedOut == stopAfter) fake.stop = 15;
                return PipelineJob{{"export " + std::to_string(handedOut)}, {"load"}};
            },
            [&](std::size_t job, const PipelineStatus& status) {
                ended += std::to_string(job) + (status.producer.succeeded() ? " " : "! ");
            });
        EXPECT_EQ(fake.mostRunning, 3u);
        EXPECT_EQ(ended, stopAfter == 0 ? "0 1 2 3 4! 5 6 " : "0 1 2 3 ") << "none handed out after a stop";
    }
}

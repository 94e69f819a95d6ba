// A pause between collections is a real wait that only a stop signal cuts
// short. In a child process of its own: the signal stays recorded there.

#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "exec/child_groups.h"

TEST(Pause, LastsUntilAStopSignalEndsIt) {
    EXPECT_EXIT(
        {
            superviseChildren("");
            std::thread([pausing = pthread_self()] {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                pthread_kill(pausing, SIGTERM);
            }).detach();
            pauseUnlessStopped(3600);
            _exit(stopSignal() == SIGTERM ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

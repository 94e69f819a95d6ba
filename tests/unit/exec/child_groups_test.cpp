// How a run's children are seen from outside: the pause between them, and
// what the next run finds of the groups a killed run left.

#include <gtest/gtest.h>
#include <pthread.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "exec/child_groups.h"

// A pause between collections is a real wait that only a stop signal cuts short.
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

namespace {
// `program` (sleep under another name) for `seconds` in a group of its own, once it runs: glibc's
// posix_spawn returns after the exec.
pid_t start(const std::string& program, const char* seconds) {
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    const char* argv[] = {program.c_str(), seconds, nullptr};
    pid_t pid = -1;
    posix_spawn(&pid, program.c_str(), nullptr, &attributes, const_cast<char**>(argv), environ);
    return pid;
}
}  // namespace

// What a killed run left running, by the groups its ledger names: a member of
// the named group running the named program, and nothing else.
TEST(StillRunningChild, IsTheNamedProgramInTheNamedGroupAlone) {
    std::string folder = "/tmp/qor-groups-XXXXXX";
    const std::filesystem::path dir = mkdtemp(folder.data());
    const std::string program = dir / "mongoexport", other = dir / "sleep", ledger = dir / "ledger";
    std::filesystem::create_symlink("/usr/bin/sleep", program);
    std::filesystem::create_symlink("/usr/bin/sleep", other);
    const pid_t runs = start(program, "60"), elsewhere = start(other, "60");
    const pid_t ended = start(program, "0");
    siginfo_t info{};
    waitid(P_PID, ended, &info, WEXITED | WNOWAIT);  // a zombie until reaped below
    const struct { const char* name; pid_t group, found; } cases[] = {
        {"the program runs there", runs, runs},
        {"another program runs there, the named one elsewhere", elsewhere, 0},
        {"the program ended and is not yet reaped", ended, 0},
    };
    for (const auto& c : cases) {
        std::ofstream(ledger) << c.group << " mongoexport\n";
        const std::optional<LedgerChild> child = stillRunningChild(ledger);
        EXPECT_EQ(child ? child->pid : 0, c.found) << c.name;
    }
    for (const pid_t pid : {runs, elsewhere, ended}) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    std::filesystem::remove_all(dir);
}

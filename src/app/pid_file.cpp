#include "app/pid_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <limits>
#include <string>

#include "util/log.h"
#include "util/paths.h"

namespace {
std::string pidFilePath() { return rootedPath(paths::pidFile); }

// Runs starting at the same moment take turns at the PID file. Without
// this, one could read the file while another has created it but not yet
// written its id, or judge a killed run's file stale and delete it just
// after another run put its own in place; either way both would migrate.
class PidDirectoryLock {
public:
    PidDirectoryLock()
        : fd_(open(rootedPath(paths::pidDirectory).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~PidDirectoryLock() {
        if (fd_ >= 0) close(fd_);
    }
    PidDirectoryLock(const PidDirectoryLock&) = delete;
    PidDirectoryLock& operator=(const PidDirectoryLock&) = delete;

private:
    int fd_;
};
}  // namespace

std::string childLedgerPath() { return rootedPath(paths::childLedger); }

EarlierRun findEarlierRun() {
    const PidDirectoryLock turn;
    EarlierRun earlier;
    std::ifstream file(pidFilePath());
    long long number = 0;
    const bool readPid = file.is_open() && file >> number;
    file.close();
    const pid_t pid =
        readPid && number > 0 && number <= std::numeric_limits<pid_t>::max() ? static_cast<pid_t>(number) : 0;
    // After a reboot or a long uptime the number of a run killed outright
    // may belong to any program, this very run included; only another run
    // of this tool keeps others out.
    const std::string tool = processName(getpid());
    earlier.alive = pid != getpid() && processRunsProgram(pid, tool);
    if (!earlier.alive) earlier.child = stillRunningChild(childLedgerPath());
    if (earlier.alive || earlier.child) return earlier;
    if (const std::string other = processName(pid); !other.empty() && pid != getpid())
        LOG_AS("main", "The PID file names pid ", pid, ", which now runs ", other, ", not ", tool,
               ": a stale file, removed");
    removePidFile();
    return earlier;
}

PidFileWrite writePidFile() {
    const PidDirectoryLock turn;
    const int fd = open(pidFilePath().c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        if (errno == EEXIST) return PidFileWrite::taken;
        LOG("Failed to create PID file.");
        return PidFileWrite::failed;
    }
    const std::string pid = std::to_string(getpid());
    const bool complete = write(fd, pid.data(), pid.size()) == static_cast<ssize_t>(pid.size());
    close(fd);
    if (!complete) {
        std::remove(pidFilePath().c_str());
        LOG("Failed to create PID file.");
        return PidFileWrite::failed;
    }
    return PidFileWrite::written;
}

void removePidFile() {
    std::remove(childLedgerPath().c_str());
    std::remove(pidFilePath().c_str());
}

#include "app/pid_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
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
    long long pid = 0;
    const bool readPid = file.is_open() && file >> pid;
    file.close();
    // Signal 0 to a pid of 0 or below would probe a whole process group, so
    // such a file counts as stale like any other that names no process.
    earlier.alive = readPid && pid > 0 && kill(static_cast<pid_t>(pid), 0) == 0;
    if (!earlier.alive) earlier.child = stillRunningChild(childLedgerPath());
    if (!earlier.alive && !earlier.child) removePidFile();
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

#include "app/pid_file.h"

#include <fcntl.h>
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

// This run's PID file, open and locked from its creation to its removal.
int ownPidFile = -1;

// Runs starting at the same moment take turns at the PID file. Without
// this, one could find the file another has created but not yet locked, or
// judge a killed run's file stale and delete it just after another run put
// its own in place; either way both would migrate.
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

// The number the file names, for the line that removes it; 0 when none.
long long namedPid() {
    std::ifstream file(pidFilePath());
    long long number = 0;
    return file >> number ? number : 0;
}
}  // namespace

std::string childLedgerPath() { return rootedPath(paths::childLedger); }

EarlierRun findEarlierRun() {
    const PidDirectoryLock turn;
    EarlierRun earlier;
    // A run holds its file's lock for as long as it lives, and the kernel
    // lets it go however the run ends. The number proves nothing: after a
    // reboot or a long uptime it may belong to any program, another copy of
    // this tool or this very run included.
    const int file = open(pidFilePath().c_str(), O_RDONLY | O_CLOEXEC);
    earlier.alive = file >= 0 && flock(file, LOCK_EX | LOCK_NB) != 0;
    if (file >= 0) close(file);
    if (!earlier.alive) earlier.child = stillRunningChild(childLedgerPath());
    if (earlier.alive || earlier.child) return earlier;
    if (file >= 0)
        LOG_AS("main", "The PID file names pid ", namedPid(), ", but no run holds its lock: a stale file, removed");
    removePidFile();
    return earlier;
}

PidFileWrite writePidFile() {
    const PidDirectoryLock turn;
    // Close-on-exec: the programs a run starts must not keep its lock once
    // it is gone; the ledger of children speaks for them.
    const int fd = open(pidFilePath().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST) return PidFileWrite::taken;
        LOG("Failed to create PID file.");
        return PidFileWrite::failed;
    }
    const std::string pid = std::to_string(getpid());
    const bool complete = flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                          write(fd, pid.data(), pid.size()) == static_cast<ssize_t>(pid.size());
    if (!complete) {
        close(fd);
        std::remove(pidFilePath().c_str());
        LOG("Failed to create PID file.");
        return PidFileWrite::failed;
    }
    ownPidFile = fd;
    return PidFileWrite::written;
}

void removePidFile() {
    std::remove(childLedgerPath().c_str());
    std::remove(pidFilePath().c_str());
    // Only once the file is gone: a run starting meanwhile finds it held, never free.
    if (ownPidFile >= 0) close(ownPidFile);
    ownPidFile = -1;
}

#include "app/pid_file.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>

#include "util/log.h"
#include "util/paths.h"

namespace {
std::string pidFilePath() { return rootedPath(paths::pidFile); }
}  // namespace

bool isAlreadyRunning() {
    std::ifstream file(pidFilePath());
    if (!file.is_open()) return false;
    long long pid = 0;
    file >> pid;
    const bool readPid = static_cast<bool>(file);
    file.close();
    // Signal 0 to a pid of 0 or below would probe a whole process group, so
    // such a file counts as stale like any other that names no process.
    if (readPid && pid > 0 && kill(static_cast<pid_t>(pid), 0) == 0) return true;
    std::remove(pidFilePath().c_str());
    return false;
}

PidFileWrite writePidFile() {
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

void removePidFile() { std::remove(pidFilePath().c_str()); }

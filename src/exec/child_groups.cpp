#include "exec/child_groups.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "exec/private_file.h"
#include "util/log.h"

namespace {
constexpr std::array stopSignals = {SIGINT, SIGTERM, SIGHUP};

// The handler reads these and nothing else; lock-free atomics are safe there.
std::atomic<int> recordedSignal{0};
// Sixteen pipelines of two programs each, and a query beside them.
constexpr std::size_t mostGroups = 40;
std::array<std::atomic<pid_t>, mostGroups> runningGroups{};
std::array<std::string, mostGroups> runningPrograms;  // changed only with stop signals held
std::array<bool, stopSignals.size()> caught{};
std::string ledger;  // empty: children stay in the tool's own group

void onStopSignal(int signal) {
    const int savedErrno = errno;
    int none = 0;
    recordedSignal.compare_exchange_strong(none, signal);
    for (const std::atomic<pid_t>& group : runningGroups)
        if (const pid_t id = group.load(); id > 0) kill(-id, SIGTERM);
    errno = savedErrno;
}

sigset_t stopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : stopSignals) sigaddset(&set, signal);
    return set;
}

// Written whole under another name and moved into place: a run killed in the
// middle of it leaves the ledger as it was, never half of it.
bool writeLedger() {
    std::string text;
    for (std::size_t slot = 0; slot < runningGroups.size(); ++slot)
        if (const pid_t id = runningGroups[slot].load(); id > 0)
            text += std::to_string(id) + " " + runningPrograms[slot] + "\n";
    const std::string next = ledger + ".new";
    const int fd = createWorkFile(next);
    if (fd < 0) return false;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return close(fd) == 0 && written && rename(next.c_str(), ledger.c_str()) == 0;
}

std::string firstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// Whether `process` is a live member of `group` running `program`: by its
// name, which the kernel cuts to 15 characters, or by the script an
// interpreter runs. A zombie keeps its name but runs nothing any more.
bool runsProgram(const std::filesystem::path& process, pid_t group, const std::string& program) {
    const std::string stat = firstLine(process / "stat");
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) return false;
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string state;
    pid_t parent = 0;
    pid_t processGroup = 0;
    if (!(fields >> state >> parent >> processGroup) || processGroup != group || state == "Z")
        return false;
    if (firstLine(process / "comm") == program.substr(0, 15)) return true;
    std::ifstream cmdline(process / "cmdline");
    std::string argument;
    for (int index = 0; index < 2 && std::getline(cmdline, argument, '\0'); ++index)
        if (std::filesystem::path(argument).filename() == program) return true;
    return false;
}
}  // namespace

void superviseChildren(std::string ledgerPath, bool interruptWaits) {
    ledger = std::move(ledgerPath);
    for (std::size_t index = 0; index < stopSignals.size(); ++index) {
        struct sigaction action {};
        sigaction(stopSignals[index], nullptr, &action);
        if (action.sa_handler == SIG_IGN) continue;
        action.sa_handler = onStopSignal;
        action.sa_flags = interruptWaits ? 0 : SA_RESTART;
        sigemptyset(&action.sa_mask);
        caught[index] = sigaction(stopSignals[index], &action, nullptr) == 0;
    }
}

void ignoreClosedReaders() { signal(SIGPIPE, SIG_IGN); }

int stopSignal() { return recordedSignal.load(); }

std::string signalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
    }
    return "signal " + std::to_string(signal);
}

void pauseUnlessStopped(unsigned seconds) {
    const sigset_t held = stopSignalSet();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &held, &previous);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::time_t until = now.tv_sec + seconds;
    // The check and the sleep are one step for the signals: one that comes
    // after the check ends the sleep instead of waiting behind it.
    while (stopSignal() == 0 && clock_gettime(CLOCK_MONOTONIC, &now) == 0 && now.tv_sec < until) {
        const timespec left{until - now.tv_sec, 0};
        ppoll(nullptr, 0, &left, &previous);
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

std::optional<LedgerChild> stillRunningChild(const std::string& ledgerPath) {
    std::ifstream in(ledgerPath);
    pid_t group = 0;
    std::string program;
    while (in >> group >> program) {
        // No signal reaches a group that is gone; one of another user's
        // still counts as there, and /proc tells whose program it runs.
        if (group <= 0 || (kill(-group, 0) != 0 && errno == ESRCH)) continue;
        std::error_code ignored;
        for (const auto& process : std::filesystem::directory_iterator("/proc", ignored)) {
            const std::string name = process.path().filename();
            if (name.find_first_not_of("0123456789") == std::string::npos &&
                runsProgram(process.path(), group, program))
                return LedgerChild{static_cast<pid_t>(std::stol(name)), program};
        }
    }
    return std::nullopt;
}

ChildStart::ChildStart(std::string_view program) : program_(program) {
    const sigset_t held = stopSignalSet();
    sigprocmask(SIG_BLOCK, &held, &previous_);
    refused_ = stopSignal() != 0 || (!ledger.empty() && pipe2(gate_, O_CLOEXEC) != 0);
}

ChildStart::~ChildStart() {
    for (const int end : gate_)
        if (end != -1) close(end);
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

void ChildStart::enterInChild() const {
    for (std::size_t index = 0; index < stopSignals.size(); ++index)
        if (caught[index]) signal(stopSignals[index], SIG_DFL);
    // An ignored signal stays ignored across exec, and the shell cannot undo it.
    signal(SIGPIPE, SIG_DFL);
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
    if (ledger.empty()) return;
    setpgid(0, 0);
    // A group of its own is a background job on the operator's terminal,
    // stopped by SIGTTIN as soon as it reads from there; no program of a
    // run expects input from a person.
    const int nothing = open("/dev/null", O_RDONLY);
    if (nothing != -1 && nothing != STDIN_FILENO) {
        dup2(nothing, STDIN_FILENO);
        close(nothing);
    }
    close(gate_[1]);
    char admitted = 0;
    while (read(gate_[0], &admitted, 1) == -1 && errno == EINTR) {
    }
    if (admitted != 1) _exit(127);
}

void ChildStart::admit(pid_t child) {
    if (ledger.empty() || child <= 0) return;
    // The child does the same; whichever comes first, the group exists
    // before it is signalled or recorded.
    setpgid(child, child);
    bool recorded = false;
    for (std::size_t slot = 0; slot < runningGroups.size() && !recorded; ++slot) {
        if (runningGroups[slot].load() != 0) continue;
        runningGroups[slot] = child;
        runningPrograms[slot] = program_;
        recorded = true;
    }
    // A child the ledger does not name could outlive a killed run unseen:
    // it ends at the gate instead.
    const char admitted = 1;
    if (recorded && writeLedger()) {
        if (write(gate_[1], &admitted, 1) != 1) kill(child, SIGKILL);
    } else {
        LOG("Cannot write the work file ", ledger);
    }
}

void forgetChild(pid_t child) {
    if (ledger.empty() || child <= 0) return;
    const sigset_t held = stopSignalSet();
    sigset_t previous;
    sigprocmask(SIG_BLOCK, &held, &previous);
    for (std::atomic<pid_t>& group : runningGroups)
        if (group.load() == child) group = 0;
    writeLedger();
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

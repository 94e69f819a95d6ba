#pragma once
// The children of a migration run. Each runs in a process group of its own,
// so that stopping it stops the shell and everything the shell started (both
// sides of a pipeline, a program behind a redirection). A stop signal is only
// recorded here and passed on to the running groups; the waiting code sees
// them end and the run winds down through its own steps. While a child runs
// its group is named in a ledger file, so that a run killed outright leaves
// the next one a way to see what it left running.

#include <sys/types.h>

#include <csignal>
#include <optional>
#include <string>
#include <string_view>

// From here on SIGINT, SIGTERM and SIGHUP stop the run (a signal the tool was
// started with ignored, as under nohup, stays ignored) and each child gets a
// process group of its own, named in the ledger at `ledgerPath`. With
// `interruptWaits` a stop signal also ends a wait for input, as for an
// operator's answer, which would otherwise go on after the signal.
void superviseChildren(std::string ledgerPath, bool interruptWaits = false);

// A reader that went away (`start | head`, a closed terminal) must not end
// the run: what the tool cannot write is dropped. Its children get the
// default back, so that an exporter whose loader died still dies with it.
void ignoreClosedReaders();

// The signal that stopped the run; 0 while none did.
int stopSignal();
std::string signalName(int signal);

// Sleeps, but not past a stop signal, whenever it comes.
void pauseUnlessStopped(unsigned seconds);

struct LedgerChild {
    pid_t pid = 0;
    std::string program;
};

// A program named in the ledger at `ledgerPath` that still runs in its group.
std::optional<LedgerChild> stillRunningChild(const std::string& ledgerPath);

// The start of one child, from the check that the run was not stopped to
// the child's place in its group and in the ledger; stop signals wait until
// then, so none can fall between the two and miss the child.
class ChildStart {
public:
    explicit ChildStart(std::string_view program);
    ~ChildStart();
    ChildStart(const ChildStart&) = delete;
    ChildStart& operator=(const ChildStart&) = delete;

    // The run was stopped, or the start cannot be recorded: start nothing.
    bool refused() const { return refused_; }
    // In the child before exec; it goes on only once the parent recorded it,
    // and not at all when the parent died first.
    void enterInChild() const;
    // In the parent right after fork.
    void admit(pid_t child);

private:
    std::string program_;
    sigset_t previous_;
    int gate_[2] = {-1, -1};
    bool refused_ = false;
};

// After the child ended and before it is reaped, so its id cannot be taken
// by another process while the group is still signalled and recorded.
void forgetChild(pid_t child);

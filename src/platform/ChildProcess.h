#pragma once

#include <string>
#include <vector>

// Child processes that the program starts and watches itself (the demo's simulator).
namespace zm::platform {

struct ChildOptions {
    // A process group of its own, so that Ctrl-C at the terminal does not reach it.
    bool ownProcessGroup = false;
    // Asked to end (as by Terminate) when the thread that started it dies.
    bool endsWithStarter = false;
    // Written to the output when the program cannot be run.
    std::string execFailureText;
};

struct StartedChild {
    int pid = -1;
    int output = -1;  // read end of its standard output and error together; caller closes
};

enum class StartFailure {
    kNone,
    kNoPipe,     // no pipe or null device for its input and output
    kNoProcess,  // the system refused a new process
};

// Starts argv[0] (a path) with argv, input from the null device, and nothing else of
// this process inherited. `systemError` is the error number of a failure.
StartFailure StartChild(const std::vector<std::string>& argv, const ChildOptions& options,
                        StartedChild& child, int& systemError);

enum class ChildState {
    kRunning,
    kEnded,    // reaped; `text` says how it ended ("exit code 3", "signal 9 (Killed)")
    kUnknown,  // it cannot be waited for; `text` says why
};

// Reaps the child when it has ended; wait: until it ends.
ChildState ReapChild(int pid, bool wait, std::string& text);
// Asks the child to end (SIGTERM), or ends it at once (SIGKILL).
void TerminateChild(int pid);
void KillChild(int pid);

// Waits at most timeoutMs for input on the descriptor: 1 ready (data or end), 0 time ran
// out or interrupted, -1 error.
int WaitForInput(int fd, int timeoutMs);

}  // namespace zm::platform

#pragma once

#include <string>
#include <vector>

namespace zm::platform {

// Full path of the running program file; empty when the system cannot tell.
std::string ExecutablePath();

// A running process as the system lists it.
struct ProcessEntry {
    int pid = 0;
    std::string exeName;   // file name of the program; empty when not readable (other users)
    std::string commName;  // the kernel's short name (at most 15 bytes), also set by Wine
};

std::vector<ProcessEntry> ListProcesses();

// Whether a process with this program name runs (pid 0: any process; otherwise only that
// one). exact: the name equals the program name; otherwise the program name begins with
// it. Case-sensitive. The program file name is tried first; the kernel's short name
// counts when it is not just that file name cut short (Wine puts the Windows program's
// name there), and a short name cut at 15 bytes matches a longer name that begins with it.
bool IsProcessRunning(const std::string& name, int pid, bool exact);

// A thread of this process as the system lists it.
struct ThreadEntry {
    int tid = 0;
    std::string name;  // the kernel's short name (at most 15 bytes)
};

// The threads of this process, in the system's order; empty when it cannot tell.
std::vector<ThreadEntry> ListOwnThreads();

// Names the calling thread for the system's lists (cut to 15 bytes), so that a thread
// left running can be told by what it is.
void NameCurrentThread(const std::string& name);
// The calling thread's name as the system lists it; its number where it has none.
std::string CurrentThreadName();

}  // namespace zm::platform

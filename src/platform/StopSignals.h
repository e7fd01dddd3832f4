#pragma once

// The requests a process gets from outside to stop (Ctrl-C, a service manager's stop, the
// session ending) or to reload its settings.
namespace zm::platform {

enum class StopSignal {
    kStop,
    kReload,
};

// Holds the requests back from every thread, so that only WaitForStopSignal takes them.
// Call before any thread starts: threads inherit it.
void HoldStopSignals();
// Waits for the next request held back by HoldStopSignals.
StopSignal WaitForStopSignal();

// Turns every stop request into a readable byte on the returned handle, for an event loop
// to watch; -1 when the system refused. Reload requests are not taken.
int StopSignalsAsReadableHandle();
// Reads what is waiting on that handle, so that it can signal the next request.
void DrainStopSignals(int handle);

}  // namespace zm::platform

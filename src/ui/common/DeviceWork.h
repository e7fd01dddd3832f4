#pragma once

#include <QObject>
#include <QThreadPool>

#include <functional>

namespace zm {

// The GUI thread never waits for a sensor or a converter: such an exchange runs on a
// thread of this pool, and its result comes back to the window that asked, on the GUI
// thread, unless the window is gone by then.
QThreadPool& DeviceWorkPool();

// Runs `work` on the pool, then `done` on the context's thread (dropped when the
// context is gone). Make the call on the context's thread.
void RunDeviceWork(QObject* context, std::function<void()> work, std::function<void()> done);

}  // namespace zm

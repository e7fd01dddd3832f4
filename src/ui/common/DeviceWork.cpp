#include "ui/common/DeviceWork.h"

#include <exception>

#include "base/AppLogs.h"
#include "base/Log.h"
#include "ui/bridge/QtRelay.h"

namespace zm {

namespace {
constexpr const char* kWorkerName = "Device dialog worker";
}  // namespace

QThreadPool& DeviceWorkPool() {
    // A scan may hold a thread for minutes; link tests and pings must not queue behind it.
    static QThreadPool pool;
    static const bool configured = [] {
        pool.setMaxThreadCount(8);
        return true;
    }();
    (void)configured;
    return pool;
}

void RunDeviceWork(QObject* context, std::function<void()> work, std::function<void()> done) {
    const QtRelay relay(context);
    DeviceWorkPool().start([work = std::move(work), done = std::move(done), relay] {
        // An exception must not end the program: the dialog gets its answer (what the work
        // left), the run log the cause.
        try {
            work();
        } catch (const std::exception& e) {
            RunLog().AddError("<li><dt> %s: exception: %s</li>", kWorkerName,
                              HtmlEscaped(e.what()).c_str());
        } catch (...) {
            RunLog().AddError("<li><dt> %s: exception</li>", kWorkerName);
        }
        if (done) {
            relay.Post(done);
        }
    });
}

}  // namespace zm

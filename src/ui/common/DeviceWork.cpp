#include "ui/common/DeviceWork.h"

#include "ui/bridge/QtRelay.h"

namespace zm {

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
        work();
        if (done) {
            relay.Post(done);
        }
    });
}

}  // namespace zm

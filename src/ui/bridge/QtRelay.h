#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <mutex>

namespace zm {

// Turns a call from any thread (a device's event thread, a worker) into a queued call on
// the thread of a context object, usually a window. Calls that arrive after the context
// is gone, or were still queued when it went, are dropped. The relay is a small handle:
// copy it into the callback that a device thread runs. Make it on the context's thread.
class QtRelay {
  public:
    QtRelay() = default;  // relays nothing
    explicit QtRelay(QObject* context);

    // Any thread. False when the call was dropped because the context is gone.
    bool Post(std::function<void()> call) const;
    // Any thread: whether the context still lives (it may go right after the answer).
    bool IsAlive() const;
    // Context thread: drops the calls still queued and every later one, for a window whose
    // destructor runs before its QObject part is gone.
    void Detach() const;

  private:
    class Receiver;
    struct Shared {
        std::mutex mutex;
        Receiver* receiver = nullptr;  // null once the context went
    };
    std::shared_ptr<Shared> shared_;
};

}  // namespace zm

#include "ui/bridge/QtRelay.h"

#include <QCoreApplication>
#include <QEvent>

#include <exception>

#include "base/AppLogs.h"
#include "base/Log.h"

namespace zm {

namespace {

const QEvent::Type kRelayEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class RelayEvent final : public QEvent {
  public:
    explicit RelayEvent(std::function<void()> call) : QEvent(kRelayEvent), call_(std::move(call)) {}
    void Run() const {
        try {
            call_();
        } catch (const std::exception& e) {
            RunLog().AddError("<li><dt> Relayed call failed: %s</li>",
                              HtmlEscaped(e.what()).c_str());
        } catch (...) {
            RunLog().AddError("<li><dt> Relayed call failed.</li>");
        }
    }

  private:
    std::function<void()> call_;
};

}  // namespace

// A child of the context, so that it goes with it; Qt removes the events still queued
// for it when it goes. Posting and its going share the handle's lock, so no thread posts
// to it while it is being destroyed.
class QtRelay::Receiver final : public QObject {
  public:
    Receiver(QObject* context, std::shared_ptr<Shared> shared)
        : QObject(context), shared_(std::move(shared)) {
        setObjectName(QStringLiteral("QtRelayReceiver"));
    }
    ~Receiver() override {
        std::lock_guard lock(shared_->mutex);
        shared_->receiver = nullptr;
    }

  protected:
    bool event(QEvent* event) override {
        if (event->type() == kRelayEvent) {
            static_cast<RelayEvent*>(event)->Run();
            return true;
        }
        return QObject::event(event);
    }

  private:
    std::shared_ptr<Shared> shared_;
};

QtRelay::QtRelay(QObject* context) : shared_(std::make_shared<Shared>()) {
    if (context != nullptr) {
        shared_->receiver = new Receiver(context, shared_);
    }
}

bool QtRelay::Post(std::function<void()> call) const {
    if (!shared_ || !call) {
        return false;
    }
    std::lock_guard lock(shared_->mutex);
    if (shared_->receiver == nullptr) {
        return false;
    }
    QCoreApplication::postEvent(shared_->receiver, new RelayEvent(std::move(call)));
    return true;
}

bool QtRelay::IsAlive() const {
    if (!shared_) {
        return false;
    }
    std::lock_guard lock(shared_->mutex);
    return shared_->receiver != nullptr;
}

void QtRelay::Detach() const {
    if (!shared_) {
        return;
    }
    Receiver* receiver;
    {
        std::lock_guard lock(shared_->mutex);
        receiver = shared_->receiver;
    }
    delete receiver;  // clears the pointer under the lock, and its queued calls with it
}

}  // namespace zm

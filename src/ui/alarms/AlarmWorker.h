#pragma once

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>

namespace zm {

// Runs the alarm lifecycle's writes and queries off the GUI thread (a write returns only
// after its commit, a history query reads the database) and hands each result back to the
// GUI thread, to a receiver that may have gone meanwhile. One thread, so that an
// operator's commands reach the engine in the order given. Waits for its work when it goes.
class CAlarmWorker final : public QObject {
    Q_OBJECT
  public:
    explicit CAlarmWorker(QObject* parent = nullptr);
    ~CAlarmWorker() override;

    template <class Result>
    void Run(std::function<Result()> work, QObject* receiver, std::function<void(Result)> done) {
        QPointer<QObject> guard(receiver);
        Start([this, work = std::move(work), guard, done = std::move(done)]() mutable {
            auto result = std::make_shared<Result>(work());
            // Back through this object, which outlives its work; the receiver is looked
            // at only on the GUI thread.
            QMetaObject::invokeMethod(
                this,
                [guard, done, result] {
                    if (guard && done) {
                        done(std::move(*result));
                    }
                },
                Qt::QueuedConnection);
        });
    }

    // True while work is queued or running (tests wait for it).
    bool IsBusy() const { return pending_ > 0; }
    void WaitForDone() { pool_.waitForDone(); }

  private:
    void Start(std::function<void()> task);

    QThreadPool pool_;
    std::atomic<int> pending_{0};
};

}  // namespace zm

#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace zm::test {

// Runs `act` on the next modal window of type T as soon as it is shown (a modal dialog's
// exec() does not return to the test before). Gives up after timeoutMs.
template <class T>
void OnNextModal(std::function<void(T&)> act, int timeoutMs = 5000) {
    auto* poll = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, clock, act, timeoutMs] {
        T* window = qobject_cast<T*>(QApplication::activeModalWidget());
        const bool ready = window && window->isVisible();
        if (ready || clock->elapsed() > timeoutMs) {
            poll->stop();
            poll->deleteLater();
            delete clock;
            if (ready) {
                act(*window);
            }
        }
    });
    poll->start();
}

}  // namespace zm::test

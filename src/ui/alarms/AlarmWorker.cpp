#include "ui/alarms/AlarmWorker.h"

namespace zm {

CAlarmWorker::CAlarmWorker(QObject* parent) : QObject(parent) {
    pool_.setMaxThreadCount(1);
    pool_.setObjectName("alarmWorker");
}

CAlarmWorker::~CAlarmWorker() {
    pool_.waitForDone();
}

void CAlarmWorker::Start(std::function<void()> task) {
    ++pending_;
    pool_.start([this, task = std::move(task)] {
        task();
        --pending_;
    });
}

}  // namespace zm

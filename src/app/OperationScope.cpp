#include "app/OperationScope.h"

#include <utility>

namespace zm {

COperationTracker::Scope::Scope(COperationTracker& tracker) : tracker_(tracker) {
    ++tracker_.depth_;
}

COperationTracker::Scope::~Scope() {
    if (--tracker_.depth_ > 0) {
        return;
    }
    // A deferred command may start an operation of its own; what that one defers waits
    // for its end, and then runs here in turn.
    while (tracker_.depth_ == 0 && !tracker_.deferred_.empty()) {
        std::function<void()> command = std::move(tracker_.deferred_.front());
        tracker_.deferred_.erase(tracker_.deferred_.begin());
        command();
    }
}

bool COperationTracker::RunWhenIdle(std::function<void()> command) {
    if (depth_ == 0) {
        command();
        return true;
    }
    deferred_.push_back(std::move(command));
    return false;
}

}  // namespace zm

#pragma once

#include <functional>
#include <vector>

namespace zm {

// Operations that wait while pumping the dispatcher (removing devices, loading a device
// list) let queued tasks run inside their wait. Commands that must not cut such an
// operation in half (a close, the web server switched off) ask here and run once the
// outermost operation has ended. Dispatcher thread only.
class COperationTracker {
  public:
    class Scope {
      public:
        explicit Scope(COperationTracker& tracker);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        COperationTracker& tracker_;
    };

    bool IsBusy() const { return depth_ > 0; }
    // Runs the command now when no operation runs, else after the outermost one, in the
    // order asked. True when it ran now.
    bool RunWhenIdle(std::function<void()> command);

  private:
    int depth_ = 0;
    std::vector<std::function<void()>> deferred_;
};

}  // namespace zm

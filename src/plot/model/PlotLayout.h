#pragma once

#include "plot/model/PlotTypes.h"

namespace zm {

// Where the plot view's controls go in its client rectangle.
struct PlotLayout {
    PlotRect toolbar;
    PlotRect plotArea;
    PlotRect progress;
    PlotRect xLeft;
    PlotRect xRight;
    PlotRect yBottom;
    PlotRect yTop;
    PlotRect separator1;
    PlotRect separator2;
    PlotRect hScroll;
    PlotRect vScroll;
};

// Without the controls the rectangle is first widened so that every control but the plot
// area lies outside it. An inverted plot area becomes empty.
PlotLayout ComputePlotLayout(PlotRect client, bool showControls);

// At most `rate` mouse moves a second are processed; a move that comes too soon arms a
// one-shot timer (unless one is armed) whose expiry processes the cursor as it is then.
class CMouseRateLimiter {
  public:
    enum class Decision { kProcess, kStartTimer, kIgnore };

    explicit CMouseRateLimiter(int rate = 100) : rate_(rate) {}
    int TimerMilliseconds() const { return 1000 / rate_; }
    Decision OnMove(double nowSeconds);
    // The timer fired: the move is processed now.
    void OnTimer(double nowSeconds);
    // A move was processed at that time.
    void Processed(double nowSeconds);
    bool IsPending() const { return pending_; }

  private:
    int rate_;
    bool hasLast_ = false;
    double last_ = 0;
    bool pending_ = false;
};

}  // namespace zm

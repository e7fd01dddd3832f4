#include "plot/model/PlotLayout.h"

namespace zm {

namespace {

PlotRect NonInverted(PlotRect r) {
    if (r.right < r.left || r.bottom < r.top) {
        return {r.left, r.top, r.left, r.top};
    }
    return r;
}

}  // namespace

PlotLayout ComputePlotLayout(PlotRect c, bool showControls) {
    if (!showControls) {
        c = {c.left - 6, c.top - 33, c.right + 28, c.bottom + 33};
    }
    const int L = c.left;
    const int T = c.top;
    const int R = c.right;
    const int B = c.bottom;
    PlotLayout l;
    l.toolbar = {6, T + 6, R - 66, T + 28};
    l.plotArea = NonInverted({L + 6, T + 33, R - 28, B - 33});
    PlotRect inner{l.plotArea.left + 10, l.plotArea.top + 10, l.plotArea.right - 10,
                   l.plotArea.bottom - 10};
    int middle = (inner.top + inner.bottom) / 2;
    l.progress = NonInverted({inner.left, middle - 10, inner.right, middle + 10});
    l.xLeft = {L + 6, B - 27, L + 61, B - 6};
    l.xRight = {R - 128, B - 27, R - 73, B - 6};
    l.yBottom = {R - 61, B - 27, R - 6, B - 6};
    l.yTop = {R - 61, T + 6, R - 6, T + 27};
    l.separator1 = {R - 68, B - 27, R - 66, B - 6};
    l.separator2 = {R - 68, T + 6, R - 66, T + 27};
    l.hScroll = NonInverted({L + 67, B - 24, R - 134, B - 8});
    l.vScroll = NonInverted({R - 22, T + 33, R - 6, B - 33});
    return l;
}

CMouseRateLimiter::Decision CMouseRateLimiter::OnMove(double now) {
    if (rate_ <= 0 || !hasLast_ || now - last_ >= 1.0 / rate_) {
        return Decision::kProcess;
    }
    if (pending_) {
        return Decision::kIgnore;
    }
    pending_ = true;
    return Decision::kStartTimer;
}

void CMouseRateLimiter::OnTimer(double now) {
    Processed(now);
}

void CMouseRateLimiter::Processed(double now) {
    hasLast_ = true;
    last_ = now;
    pending_ = false;
}

}  // namespace zm

#pragma once

#include <string>

namespace zm {

// What a long operation tells the wait window while it works on a thread of its own. The
// operations may be called from the working thread; the window applies them on its own.
class IWaitProgress {
  public:
    static constexpr int kCancelPressed = 2;
    static constexpr int kNoCancel = -1;

    virtual ~IWaitProgress() = default;
    virtual void SetTexts(const std::string& sMessage, const std::string& sTitle) = 0;
    virtual void SetBar(bool bShown, bool bMoving, int nBar) = 0;
    virtual void SetBarPos(int nPos, int nBar) = 0;
    virtual void EnableCancel(bool bEnable) = 0;
    virtual void SetMinSize(int nWidth, int nHeight) = 0;
    virtual bool Start() = 0;
    // kCancelPressed once per press of Cancel (with bReset), else kNoCancel.
    virtual int CheckCancel(bool bReset) = 0;
    virtual void Hide() = 0;
    virtual void Show() = 0;
    virtual void Stop() = 0;
};

}  // namespace zm

#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "app/WaitProgress.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace zm {

// What the working code asks the wait window to show; the window lays itself out again
// whenever it differs from what it shows.
struct WaitDlgState {
    QString sMessage;
    QString sTitle;
    bool bVisible = true;
    bool bBar1Shown = false, bBar1Moving = false;
    bool bBar2Shown = false, bBar2Moving = false;
    bool bCancelShown = false;
    bool bShrinkWidth = true, bShrinkHeight = true;
    int nMinWidth = 0, nMinHeight = 0;
    int nBar1Pos = 0, nBar2Pos = 0;

    bool operator==(const WaitDlgState&) const = default;
};

class CWaitDlgImpl;

// The wait window of a long operation. The window lives on the GUI thread; the operation
// runs on a working thread and calls these operations, which only set a requested state
// (the window applies it every 10 ms). Start and Stop may also be called on the GUI thread.
class CWaitDlg : public IWaitProgress {
  public:
    static constexpr int kApplyMs = 10;
    static constexpr int kSweepMs = 30;

    explicit CWaitDlg(QWidget* owner = nullptr);
    ~CWaitDlg() override;
    CWaitDlg(const CWaitDlg&) = delete;
    CWaitDlg& operator=(const CWaitDlg&) = delete;

    void SetTexts(const std::string& sMessage, const std::string& sTitle) override;
    void SetBar(bool bShown, bool bMoving, int nBar) override;
    void SetBarPos(int nPos, int nBar) override;
    void EnableCancel(bool bEnable) override;
    void SetMinSize(int nWidth, int nHeight) override;
    bool Start() override;
    int CheckCancel(bool bReset) override;
    void Hide() override;
    void Show() override;
    void Stop() override;

    // GUI thread: the window while it exists (tests look at it).
    CWaitDlgImpl* Window() const { return m_pWindow.data(); }

  private:
    friend class CWaitDlgImpl;
    struct Shared {
        std::mutex mutex;
        WaitDlgState requested;
        bool bCancelPressed = false;
        bool bCreated = false;
    };
    // Runs `call` on the GUI thread and waits for it (at most waitMs, -1 without limit).
    bool OnGuiThread(const std::function<void()>& call, int waitMs);

    std::shared_ptr<Shared> m_pShared = std::make_shared<Shared>();
    QPointer<QWidget> m_pOwner;
    QPointer<CWaitDlgImpl> m_pWindow;
};

// The window itself (GUI thread only).
class CWaitDlgImpl : public QDialog {
    Q_OBJECT

  public:
    CWaitDlgImpl(std::shared_ptr<CWaitDlg::Shared> shared, QWidget* owner);
    ~CWaitDlgImpl() override;

    QLabel* Message() const { return m_pMessage; }
    QProgressBar* Bar(int nBar) const { return nBar == 2 ? m_pBar2 : m_pBar1; }
    QPushButton* CancelButton() const { return m_pCancel; }
    // The state last laid out.
    const WaitDlgState& Applied() const { return m_applied; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void ApplyRequested();
    void Layout(const WaitDlgState& state);
    void Sweep();
    void PressCancel();

    std::shared_ptr<CWaitDlg::Shared> m_pShared;
    WaitDlgState m_applied;
    bool m_bFirstLayout = true;
    QLabel* m_pIcon = nullptr;
    QLabel* m_pMessage = nullptr;
    QGroupBox* m_pFrame = nullptr;
    QProgressBar* m_pBar1 = nullptr;
    QProgressBar* m_pBar2 = nullptr;
    QPushButton* m_pCancel = nullptr;
    int m_nSweep1 = 0, m_nSweep2 = 0;
    QTimer m_applyTimer;
    QTimer m_sweepTimer;
};

}  // namespace zm

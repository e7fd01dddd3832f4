#include "ui/common/WaitDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QThread>

#include <algorithm>

#include "base/texts/BaseTexts.h"
#include "ui/bridge/QtText.h"

namespace zm {

namespace {

constexpr int kIconSize = 32;
constexpr int kSweepTop = 110;

// One sweep direction for all bars of all wait windows, so they move in step.
int g_nSweepDirection = -1;

bool OnGuiThreadNow() {
    return QCoreApplication::instance() != nullptr &&
           QThread::currentThread() == QCoreApplication::instance()->thread();
}

int ClampBarPos(int nPos) {
    // A negative position counts as above the top.
    return (nPos < 0 || nPos > 100) ? 100 : nPos;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// CWaitDlg

CWaitDlg::CWaitDlg(QWidget* owner) : m_pOwner(owner) {
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->requested.sMessage = Tr(texts::tpWaitingDlg_LongOperation);
    m_pShared->requested.sTitle = Tr(texts::tpWaitingDlg_PleaseWait);
}

CWaitDlg::~CWaitDlg() {
    QPointer<CWaitDlgImpl> window = m_pWindow;
    if (window) {
        // Captures values only: after the time-out this object is gone.
        OnGuiThread([window] { delete window.data(); }, 1000);
    }
}

bool CWaitDlg::OnGuiThread(const std::function<void()>& call, int waitMs) {
    if (QCoreApplication::instance() == nullptr) {
        return false;
    }
    if (OnGuiThreadNow()) {
        call();
        return true;
    }
    struct Done {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };
    auto done = std::make_shared<Done>();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [call, done] {
            call();
            std::lock_guard lock(done->mutex);
            done->done = true;
            done->cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(done->mutex);
    if (waitMs < 0) {
        done->cv.wait(lock, [&] { return done->done; });
        return true;
    }
    return done->cv.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return done->done; });
}

void CWaitDlg::SetTexts(const std::string& sMessage, const std::string& sTitle) {
    if (sMessage.empty() && sTitle.empty()) {
        return;  // the defaults stay
    }
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->requested.sMessage = ToQString(sMessage);
    m_pShared->requested.sTitle = ToQString(sTitle);
}

void CWaitDlg::SetBar(bool bShown, bool bMoving, int nBar) {
    std::lock_guard lock(m_pShared->mutex);
    WaitDlgState& s = m_pShared->requested;
    (nBar == 2 ? s.bBar2Shown : s.bBar1Shown) = bShown;
    (nBar == 2 ? s.bBar2Moving : s.bBar1Moving) = bMoving;
}

void CWaitDlg::SetBarPos(int nPos, int nBar) {
    std::lock_guard lock(m_pShared->mutex);
    if (!m_pShared->bCreated) {
        return;
    }
    (nBar == 2 ? m_pShared->requested.nBar2Pos : m_pShared->requested.nBar1Pos) = ClampBarPos(nPos);
}

void CWaitDlg::EnableCancel(bool bEnable) {
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->requested.bCancelShown = bEnable;
}

void CWaitDlg::SetMinSize(int nWidth, int nHeight) {
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->requested.nMinWidth = nWidth;
    m_pShared->requested.nMinHeight = nHeight;
}

bool CWaitDlg::Start() {
    if (m_pWindow) {
        return true;
    }
    QPointer<CWaitDlgImpl> created;
    const bool ran = OnGuiThread(
        [this, &created] {
            created = new CWaitDlgImpl(m_pShared, m_pOwner.data());
            created->show();
        },
        -1);
    m_pWindow = created;
    return ran && created;
}

int CWaitDlg::CheckCancel(bool bReset) {
    std::lock_guard lock(m_pShared->mutex);
    if (!m_pShared->bCreated) {
        return kNoCancel;
    }
    const bool pressed = m_pShared->bCancelPressed;
    if (bReset) {
        m_pShared->bCancelPressed = false;
    }
    return pressed ? kCancelPressed : kNoCancel;
}

void CWaitDlg::Hide() {
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->requested.bVisible = false;
}

void CWaitDlg::Show() {
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->requested.bVisible = true;
}

void CWaitDlg::Stop() {
    QPointer<CWaitDlgImpl> window = m_pWindow;
    if (!window) {
        return;
    }
    OnGuiThread(
        [window] {
            if (window) {
                delete window.data();
            }
        },
        -1);
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->bCreated = false;
}

// ---------------------------------------------------------------------------------------
// CWaitDlgImpl

CWaitDlgImpl::CWaitDlgImpl(std::shared_ptr<CWaitDlg::Shared> shared, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), m_pShared(std::move(shared)) {
    setObjectName(QStringLiteral("WaitDlg"));
    setWindowTitle(Tr(texts::tpWaitingDlg_PleaseWait));
    // The operation owns the program until it ends; Cancel is the only way out.
    setWindowModality(Qt::ApplicationModal);

    m_pFrame = new QGroupBox(this);
    m_pIcon = new QLabel(this);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) {
        icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    }
    m_pIcon->setPixmap(icon.pixmap(kIconSize, kIconSize));
    m_pIcon->resize(kIconSize, kIconSize);
    m_pMessage = new QLabel(Tr(texts::tpWaitingDlg_PleaseWait), this);
    m_pMessage->setObjectName(QStringLiteral("WaitMessage"));
    m_pMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pBar1 = new QProgressBar(this);
    m_pBar2 = new QProgressBar(this);
    for (QProgressBar* bar : {m_pBar1, m_pBar2}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
    m_pBar2->hide();
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancel->setObjectName(QStringLiteral("WaitCancel"));
    m_pCancel->hide();
    connect(m_pCancel, &QPushButton::clicked, this, &CWaitDlgImpl::PressCancel);

    WaitDlgState initial;
    {
        std::lock_guard lock(m_pShared->mutex);
        initial = m_pShared->requested;
        m_pShared->bCreated = true;
        m_pShared->bCancelPressed = false;
    }
    m_applied.bBar1Moving = m_applied.bBar2Moving = false;
    Layout(initial);
    m_applied = initial;
    // The first pass of the timer lays the window out again, without letting it shrink.
    m_applied.bShrinkWidth = m_applied.bShrinkHeight = false;

    const QWidget* anchor = owner ? owner->window() : nullptr;
    const QRect area = anchor ? anchor->frameGeometry()
                              : (screen() ? screen()->availableGeometry() : QRect(0, 0, 800, 600));
    move(area.center() - QPoint(width() / 2, height() / 2));

    m_applyTimer.setInterval(CWaitDlg::kApplyMs);
    connect(&m_applyTimer, &QTimer::timeout, this, &CWaitDlgImpl::ApplyRequested);
    m_applyTimer.start();
    m_sweepTimer.setInterval(CWaitDlg::kSweepMs);
    connect(&m_sweepTimer, &QTimer::timeout, this, &CWaitDlgImpl::Sweep);
}

CWaitDlgImpl::~CWaitDlgImpl() {
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->bCreated = false;
}

void CWaitDlgImpl::ApplyRequested() {
    WaitDlgState requested;
    {
        std::lock_guard lock(m_pShared->mutex);
        requested = m_pShared->requested;
    }
    if (requested == m_applied) {
        return;
    }
    Layout(requested);
    m_applied = requested;
}

void CWaitDlgImpl::Layout(const WaitDlgState& s) {
    const QFontMetrics fm(m_pMessage->font());
    int tw = 0;
    int th = 0;
    for (const QString& line : s.sMessage.split(QLatin1Char('\n'))) {
        tw = std::max(tw, fm.horizontalAdvance(line));
        th += fm.lineSpacing();
    }
    const int iw = m_pIcon->width();
    const int ih = m_pIcon->height();
    const bool b1 = s.bBar1Shown;
    const bool c = s.bCancelShown;
    const bool x = c || s.bBar2Shown;

    const int content = (b1 ? 25 : 0) + (x ? 23 : 0) + th;
    int h = std::max(content, ih) + (x ? 5 : 0) - (b1 ? 0 : 5) + 40;
    int w = iw + tw + 30;
    if (b1 || c) {
        w = std::max(w, 100);
    }
    if (!m_applied.bShrinkWidth) {
        w = std::max(w, width());
    }
    if (!m_applied.bShrinkHeight) {
        h = std::max(h, height());
    }
    w = std::max(w, s.nMinWidth);
    h = std::max(h, s.nMinHeight);
    setFixedSize(w, h);

    m_pFrame->setGeometry(5, 5, w - 10, h - 10);
    m_pIcon->move(10, 25);
    m_pMessage->setGeometry(iw + 20, 25, w - iw - 30, th);
    m_pBar1->setGeometry(iw + 20, th + 30, w - iw - 30, 25);
    m_pCancel->setGeometry(w - 70, h - (x ? 23 : 0) - 10, 60, 23);
    m_pCancel->setVisible(c);
    m_pCancel->setEnabled(c);
    // The second bar (no caller uses it) sits on the line of the Cancel button.
    m_pBar2->setGeometry(iw + 20, h - 33, std::max(10, w - iw - 110), 23);
    m_pBar1->setVisible(b1);
    m_pBar2->setVisible(s.bBar2Shown);

    m_pMessage->setText(s.sMessage);
    m_pFrame->setTitle(s.sTitle);

    struct BarRule {
        QProgressBar* bar;
        bool shown, moving, wasMoving;
        int pos;
        int* sweep;
    };
    for (const BarRule& r :
         {BarRule{m_pBar1, b1, s.bBar1Moving, m_applied.bBar1Moving, s.nBar1Pos, &m_nSweep1},
          BarRule{m_pBar2, s.bBar2Shown, s.bBar2Moving, m_applied.bBar2Moving, s.nBar2Pos,
                  &m_nSweep2}}) {
        if (!r.shown) {
            continue;
        }
        if (r.moving && !r.wasMoving) {
            *r.sweep = r.bar->value();
        }
        if (!r.moving && r.bar->value() != r.pos) {
            r.bar->setValue(r.pos);
        }
    }
    const bool sweeping = (b1 && s.bBar1Moving) || (s.bBar2Shown && s.bBar2Moving);
    if (sweeping && !m_sweepTimer.isActive()) {
        m_sweepTimer.start();
    } else if (!sweeping) {
        m_sweepTimer.stop();
    }
    setVisible(s.bVisible);
}

void CWaitDlgImpl::Sweep() {
    const std::pair<QProgressBar*, int*> bars[] = {
        {m_applied.bBar1Shown && m_applied.bBar1Moving ? m_pBar1 : nullptr, &m_nSweep1},
        {m_applied.bBar2Shown && m_applied.bBar2Moving ? m_pBar2 : nullptr, &m_nSweep2}};
    for (const auto& [bar, pos] : bars) {
        if (bar == nullptr) {
            continue;
        }
        if (*pos <= 0) {
            g_nSweepDirection = 1;
        } else if (*pos >= kSweepTop) {
            g_nSweepDirection = -1;
        }
        *pos += g_nSweepDirection;
        bar->setValue(std::clamp(*pos, 0, 100));  // above 100: a full bar
    }
}

void CWaitDlgImpl::PressCancel() {
    std::lock_guard lock(m_pShared->mutex);
    m_pShared->bCancelPressed = true;
}

void CWaitDlgImpl::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (m_applied.bCancelShown) {
        PressCancel();
    }
}

void CWaitDlgImpl::reject() {
    // Escape is a close request: Cancel when offered, else nothing.
    if (m_applied.bCancelShown) {
        PressCancel();
    }
}

}  // namespace zm

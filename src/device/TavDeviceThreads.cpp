#include <algorithm>
#include <ctime>
#include <exception>

#include "base/Log.h"
#include "base/Printf.h"
#include "device/TavDevice.h"
#include "device/TavDeviceSignals.h"
#include "platform/CText.h"
#include "platform/ProcessInfo.h"

namespace zm {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kShortWait{100};
constexpr milliseconds kLongWait{500};
constexpr std::int64_t kDelayedLogGap = 5;  // seconds between delayed-log lines

std::int64_t Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace

struct CTavDevice::LiveState {
    bool first = true;
    milliseconds wait = kShortWait;
};

// ---------------------------------------------------------------------------------------
// Live thread: decides when to connect and when to poll.

void CTavDevice::LiveThreadMain(std::weak_ptr<CTavDevice> weak, std::shared_ptr<Signals> sig,
                                QuitFlag quit) {
    LiveState st;
    {
        const auto dev = weak.lock();
        if (!dev) {
            return;
        }
        dev->LiveStart(st);
    }
    for (;;) {
        if (quit->load() || sig->liveStop.Wait(1u, st.wait) != CEventSet::kTimeout) {
            return;
        }
        // Hold the device only while working in it: its last owner may let go meanwhile.
        const auto dev = weak.lock();
        if (!dev) {
            return;
        }
        try {
            st.wait = dev->LiveStep(st);
        } catch (const std::exception& e) {
            st.wait = dev->LiveFault(e.what());
        } catch (...) {
            st.wait = dev->LiveFault("unknown exception");
        }
    }
}

milliseconds CTavDevice::LiveFault(const std::string& what) {
    LogError(StrPrintf("<li><dt> %s: Thread_Live: exception: %s", HtmlEscaped(GetName()).c_str(),
                       HtmlEscaped(what).c_str()));
    try {
        // Taken as a lost connection, so that the operator and the connection-lost actions
        // learn of it; the loop starts again with a new connection after the pause.
        m_bReconnectPending.store(true);
        SetStatus(kDevNoConnection);
        return std::max(milliseconds(GetPollPeriod()), kLongWait);
    } catch (...) {
        return kLongWait;
    }
}

void CTavDevice::LiveStart(LiveState& st) {
    const std::int64_t period = GetPollPeriod() / 1000;
    std::lock_guard lock(m_TimesLock);
    m_bLiveStarted = true;
    m_tLastPoll = Now() - period;
    st.first = true;
    st.wait = kShortWait;
}

milliseconds CTavDevice::LiveStep(LiveState& st) {
    if (m_bLinkSelectionPending.load()) {
        std::lock_guard lock(m_LinkLock);
        SelectPendingLinkLocked();
    }
    if (!IsScanning()) {
        if (st.first) {
            Disconnect();
            st.first = false;
        }
        return kLongWait;
    }
    st.first = true;
    if (m_bReconnectPending.load()) {
        const std::int64_t period = GetPollPeriod() / 1000;
        {
            std::lock_guard lock(m_TimesLock);
            m_tLastPoll = Now() - period;
        }
        return Connect() ? kShortWait : kLongWait;
    }
    std::int64_t lastPoll;
    {
        std::lock_guard lock(m_TimesLock);
        lastPoll = m_tLastPoll;
    }
    const std::int64_t elapsed = Now() - lastPoll;
    const std::int64_t period = GetPollPeriod() / 1000;
    if (elapsed >= period) {
        Poll();
        std::lock_guard lock(m_TimesLock);
        m_tLastPoll = Now();
    }
    return kShortWait;
}

// ---------------------------------------------------------------------------------------
// Event thread: the only thread that raises the device's events.

void CTavDevice::EventThreadMain(std::weak_ptr<CTavDevice> weak, std::shared_ptr<Signals> sig,
                                 QuitFlag quit) {
    constexpr std::uint32_t kAll = (1u << (kEvAll + 1)) - 1;
    for (;;) {
        if (quit->load()) {
            return;
        }
        const int which = sig->events.Wait(kAll);
        if (which == kEvStop || which == CEventSet::kTimeout) {
            return;
        }
        const auto dev = weak.lock();
        if (!dev) {
            return;
        }
        // A handler's exception must not end the thread: every later event would be lost.
        try {
            dev->FireEvents(which);
        } catch (const std::exception& e) {
            dev->LogError(StrPrintf("<li><dt> %s: Thread_Event: exception: %s",
                                    HtmlEscaped(dev->GetName()).c_str(),
                                    HtmlEscaped(e.what()).c_str()));
        } catch (...) {
            dev->LogError(StrPrintf("<li><dt> %s: Thread_Event: exception",
                                    HtmlEscaped(dev->GetName()).c_str()));
        }
    }
}

void CTavDevice::FireEvents(int which) {
    switch (which) {
        case kEvNewData:
            FireNewData();
            break;
        case kEvNewState:
            FireNewState();
            break;
        case kEvNewTrack:
            FireNewTrack();
            break;
        case kEvAll:
            FireNewData();
            FireNewState();
            FireNewTrack();
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------------------
// Start and stop

bool CTavDevice::StartThread(CDeviceThread& thread, const char* name, std::function<void()> body) {
    if (!thread.Create([name, body = std::move(body)] {
            platform::NameCurrentThread(name);
            body();
        })) {
        LogError(StrPrintf("<li><dt> %s: %s start: FAILED.", HtmlEscaped(GetName()).c_str(), name));
        return false;
    }
    LogSuccess(StrPrintf("<li><dt> %s: %s start: OK (ID:%d,H:0x%.04X).",
                         HtmlEscaped(GetName()).c_str(), name, thread.Id(), thread.Handle()));
    thread.Resume();
    return true;
}

bool CTavDevice::StartThreads() {
    std::lock_guard lock(m_ThreadLock);
    if (m_EventThread.Exists()) {
        return true;
    }
    std::weak_ptr<CTavDevice> weak = weak_from_this();
    if (weak.expired()) {
        // Threads must be able to keep the device alive while they work in it.
        LogError(StrPrintf("<li><dt> %s: Thread_Event start: FAILED (device not shared).",
                           HtmlEscaped(GetName()).c_str()));
        return false;
    }
    std::shared_ptr<Signals> sig = m_pSignals;
    m_bStopRequested.store(false);
    // A stop signal left for an abandoned predecessor is not for the new threads.
    sig->events.Reset(kEvStop);
    m_pEventQuit = std::make_shared<std::atomic<bool>>(false);
    if (!StartThread(m_EventThread, "Thread_Event",
                     [weak, sig, quit = m_pEventQuit] { EventThreadMain(weak, sig, quit); })) {
        return false;
    }
    if (!m_LiveThread.Exists()) {
        sig->liveStop.Reset(0);
        m_pLiveQuit = std::make_shared<std::atomic<bool>>(false);
        return StartThread(m_LiveThread, "Thread_Live",
                           [weak, sig, quit = m_pLiveQuit] { LiveThreadMain(weak, sig, quit); });
    }
    return true;
}

bool CTavDevice::StopThread(CDeviceThread& thread, QuitFlag& quit, const char* name,
                            const WaitHook& pump) {
    if (!thread.Exists()) {
        return true;
    }
    const std::uint32_t handle = thread.Handle();
    if (quit) {
        quit->store(true);
    }
    if (&thread == &m_LiveThread) {
        m_bStopRequested.store(true);
        m_pSignals->liveStop.Set(0);
    } else {
        m_pSignals->events.Set(kEvStop);
    }
    const auto result = thread.WaitForEnd(kStopWait, pump);
    if (result == CDeviceThread::StopResult::Abandoned) {
        LogError(StrPrintf("<li><dt> %s: %s terminating: FAILED (0x%.04X).", name,
                           HtmlEscaped(GetName()).c_str(), handle));
        return false;
    }
    LogSuccess(StrPrintf("<li><dt> %s: %s terminating: OK (0x%.04X).", name,
                         HtmlEscaped(GetName()).c_str(), handle));
    return true;
}

bool CTavDevice::StopThreads(const WaitHook& pump) {
    std::lock_guard lock(m_ThreadLock);
    const bool liveEnded = StopThread(m_LiveThread, m_pLiveQuit, "Thread_Live", pump);
    // An abandoned poll still owns the link (it holds the link lock); closing it now
    // would block, or pull the medium from under it. The device's destruction closes the
    // link once that poll has returned.
    if (liveEnded) {
        Disconnect();
        // Exchanges of the owner's own (a settings dialog's reads) are allowed again.
        m_bStopRequested.store(false);
    }
    SetEventObject(kEvAll);
    const bool eventEnded = StopThread(m_EventThread, m_pEventQuit, "Thread_Event", pump);
    return liveEnded && eventEnded;
}

void CTavDevice::RequestStopThreads() {
    std::lock_guard lock(m_ThreadLock);
    if (!m_LiveThread.Exists()) {
        return;
    }
    m_bStopRequested.store(true);
    if (m_pLiveQuit) {
        m_pLiveQuit->store(true);
    }
    m_pSignals->liveStop.Set(0);
}

bool CTavDevice::AreThreadsRunning() const {
    std::lock_guard lock(m_ThreadLock);
    return m_LiveThread.Exists() || m_EventThread.Exists();
}

int CTavDevice::LiveThreadId() const {
    std::lock_guard lock(m_ThreadLock);
    return m_LiveThread.Id();
}

int CTavDevice::EventThreadId() const {
    std::lock_guard lock(m_ThreadLock);
    return m_EventThread.Id();
}

// ---------------------------------------------------------------------------------------
// Delayed log: status texts reach the run log at most once every 5 seconds.

void CTavDevice::DelayedLog(const std::string& sText) {
    if (m_pRunLog == nullptr) {
        return;
    }
    Signals& sig = *m_pSignals;
    {
        std::lock_guard lock(sig.logMutex);
        if (platform::CompareNoCase(sText.c_str(), sig.logMessage.c_str()) == 0) {
            return;
        }
        ++sig.logRepeat;
        sig.logMessage = sText;
    }
    std::lock_guard lock(m_DelayedLogLock);
    // A new thread is told about the message too: otherwise the first text would wait
    // for the next one.
    sig.logEvents.Set(Signals::kLogMessage);
    if (!m_DelayedLogThread.Exists()) {
        std::shared_ptr<Signals> shared = m_pSignals;
        if (m_DelayedLogThread.Create([shared] { DelayedLogThreadMain(shared); })) {
            m_DelayedLogThread.Resume();
        }
    }
}

void CTavDevice::DelayedLogThreadMain(std::shared_ptr<Signals> sig) {
    platform::NameCurrentThread("Thread_DelayLog");
    constexpr std::uint32_t kStopMask = 1u << Signals::kLogStop;
    constexpr std::uint32_t kBoth = kStopMask | (1u << Signals::kLogMessage);
    for (;;) {
        if (sig->logEvents.Wait(kBoth) != static_cast<int>(Signals::kLogMessage)) {
            return;
        }
        if (sig->logEvents.Wait(kStopMask, milliseconds(0)) != CEventSet::kTimeout) {
            return;
        }
        for (;;) {
            std::int64_t last;
            {
                std::lock_guard lock(sig->logMutex);
                last = sig->tLastLogOutput;
            }
            if (Now() - last >= kDelayedLogGap) {
                break;
            }
            if (sig->logEvents.Wait(kStopMask, milliseconds(50)) != CEventSet::kTimeout) {
                return;
            }
        }
        std::string line;
        {
            std::lock_guard lock(sig->logMutex);
            // The status text names the link, whose address comes from the settings.
            line = StrPrintf("<li><dt> %s%s", HtmlEscaped(sig->logMessage).c_str(),
                             sig->logRepeat > 1 ? StrPrintf(" (%d)", sig->logRepeat).c_str() : "");
            sig->logRepeat = 0;
            sig->tLastLogOutput = Now();
        }
        if (line.find("Data Available") != std::string::npos) {
            sig->runLog->AddSuccess("%s", line.c_str());
        } else {
            sig->runLog->AddWarning("%s", line.c_str());
        }
    }
}

void CTavDevice::StopDelayedLogThread() {
    std::lock_guard lock(m_DelayedLogLock);
    if (!m_DelayedLogThread.Exists()) {
        return;
    }
    const std::uint32_t handle = m_DelayedLogThread.Handle();
    m_pSignals->logEvents.Set(Signals::kLogStop);
    if (m_DelayedLogThread.WaitForEnd(kStopWait) == CDeviceThread::StopResult::Abandoned) {
        LogError(StrPrintf("<li><dt> %s: %s terminating: FAILED (0x%.04X).", "Thread_DelayedLog",
                           HtmlEscaped(GetName()).c_str(), handle));
    }
}

// ---------------------------------------------------------------------------------------
// Run-log lines

void CTavDevice::LogText(const std::string& sText) const {
    if (m_pRunLog != nullptr) {
        m_pRunLog->AddText("%s", sText.c_str());
    }
}

void CTavDevice::LogSuccess(const std::string& sText) const {
    if (m_pRunLog != nullptr) {
        m_pRunLog->AddSuccess("%s", sText.c_str());
    }
}

void CTavDevice::LogWarning(const std::string& sText) const {
    if (m_pRunLog != nullptr) {
        m_pRunLog->AddWarning("%s", sText.c_str());
    }
}

void CTavDevice::LogError(const std::string& sText) const {
    if (m_pRunLog != nullptr) {
        m_pRunLog->AddError("%s", sText.c_str());
    }
}

}  // namespace zm

#include "app/MailSender.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

#include "base/AppLogs.h"
#include "base/Log.h"
#include "base/Printf.h"
#include "base/Version.h"
#include "notify/Smtp.h"
#include "platform/ProcessInfo.h"

namespace zm {

namespace {

std::atomic<int> liveThreads{0};

void LogNotSent(const std::string& kind, const std::string& reason) {
    // The reason may carry a server's own words.
    const std::string shown = HtmlEscaped(reason);
    DeviceLog().AddError("<li><dt> %s was not sent: %s.</li>", kind.c_str(), shown.c_str());
    RunLog().AddError("<li><dt> %s was not sent: %s.</li>", kind.c_str(), shown.c_str());
}

// The body's lines, split at CR LF.
std::vector<std::string> BodyLines(const std::string& body) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        size_t end = body.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(body.substr(start));
            return lines;
        }
        lines.push_back(body.substr(start, end - start));
        start = end + 2;
    }
}

}  // namespace

bool DeliverAlertMail(const AlertMail& mail) {
    if (mail.recipients.empty() || mail.sBody.empty()) {
        return false;
    }
    if (mail.account.nPort < 0 || mail.account.nPort > 65535) {
        LogNotSent(mail.sKind, StrPrintf("SMTP port %d is out of range", mail.account.nPort));
        return false;
    }
    try {
        CSmtp smtp;
        smtp.SetBodyCharset("UTF-8");
        smtp.SetServer(mail.account.sServer, static_cast<uint16_t>(mail.account.nPort), true);
        smtp.SetSecurity(mail.account.nSecurity);
        smtp.SetTlsVerify(mail.account.bTlsVerify);
        smtp.SetUser(mail.account.sLogin);
        smtp.SetUserPassword(mail.account.sPassword);
        smtp.SetFromName(mail.account.sSenderName);
        smtp.SetFromAddress(mail.account.sSenderMail);
        smtp.SetReplyAddress(mail.account.sReplyTo);
        smtp.SetSubjectLine(mail.sSubject);
        smtp.SetMailerName(GetVersionText(true, true));
        smtp.SetPriority(2);
        for (const auto& to : mail.recipients) {
            smtp.AddTo(to);
        }
        for (const auto& line : BodyLines(mail.sBody)) {
            smtp.AddBodyLine(line);
        }
        smtp.SendMail();
    } catch (const ECSmtp& error) {
        LogNotSent(mail.sKind, error.GetErrorText());
        if (!error.GetDetail().empty()) {
            RunLog().AddError("<li><dt> %s: %s</li>", mail.sKind.c_str(),
                              HtmlEscaped(error.GetDetail()).c_str());
        }
        return false;
    } catch (const std::exception& error) {
        LogNotSent(mail.sKind, error.what());
        return false;
    }
    const int count = static_cast<int>(mail.recipients.size());
    DeviceLog().AddSuccess("<li><dt> %s was successfully sent (recipients: %d).</li>",
                           mail.sKind.c_str(), count);
    RunLog().AddSuccess("<li><dt> %s was successfully sent (recipients: %d).</li>",
                        mail.sKind.c_str(), count);
    return true;
}

struct CMailSender::State {
    mutable std::mutex mutex;
    std::condition_variable wake;          // a mail was queued or stop was asked
    mutable std::condition_variable idle;  // the queue ran empty or the thread ended
    std::deque<AlertMail> queue;
    bool stopping = false;
    bool busy = false;
    bool ended = false;
    size_t maxQueued = kMaxQueued;
    size_t dropped = 0;
    size_t droppedUnlogged = 0;
    std::chrono::steady_clock::time_point lastDropLog{};
};

namespace {

constexpr auto kDropLogInterval = std::chrono::minutes(1);

// Mutex held: makes room for `mail` in a full queue and queues it, or not. `dropped`
// gets the mail that gave way (`mail` itself when it was not queued).
bool QueueInFullQueue(std::deque<AlertMail>& queue, AlertMail& mail, AlertMail& dropped) {
    auto victim =
        std::find_if(queue.begin(), queue.end(), [](const AlertMail& m) { return !m.bAlarmOpen; });
    if (victim == queue.end()) {
        if (!mail.bAlarmOpen) {
            dropped = std::move(mail);
            return false;
        }
        victim = queue.begin();
    }
    dropped = std::move(*victim);
    queue.erase(victim);
    queue.push_back(std::move(mail));
    return true;
}

}  // namespace

CMailSender::CMailSender(size_t maxQueued) : state_(std::make_shared<State>()) {
    state_->maxQueued = std::max<size_t>(maxQueued, 1);
    ++liveThreads;
    // The thread holds the state itself: when it must be abandoned at shutdown it still
    // finds its queue and flags after this object is gone.
    thread_ = std::thread([state = state_] {
        platform::NameCurrentThread("mail-sender");
        std::unique_lock lock(state->mutex);
        for (;;) {
            state->wake.wait(lock, [&] { return state->stopping || !state->queue.empty(); });
            if (state->queue.empty()) {
                break;  // stopping with nothing left
            }
            AlertMail mail = std::move(state->queue.front());
            state->queue.pop_front();
            state->busy = true;
            lock.unlock();
            DeliverAlertMail(mail);
            lock.lock();
            state->busy = false;
            state->idle.notify_all();
        }
        state->ended = true;
        state->idle.notify_all();
        --liveThreads;
    });
}

CMailSender::~CMailSender() {
    Stop();
}

bool CMailSender::Queue(AlertMail mail) {
    AlertMail dropped;
    size_t waiting = 0, total = 0, unlogged = 0;
    bool queued = true;
    bool closing = false;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->stopping) {
            closing = true;
        } else if (state_->queue.size() < state_->maxQueued) {
            state_->queue.push_back(std::move(mail));
            state_->wake.notify_one();
            return true;
        } else {
            queued = QueueInFullQueue(state_->queue, mail, dropped);
            ++state_->dropped;
            ++state_->droppedUnlogged;
            const auto now = std::chrono::steady_clock::now();
            if (state_->lastDropLog == std::chrono::steady_clock::time_point{} ||
                now - state_->lastDropLog >= kDropLogInterval) {
                state_->lastDropLog = now;
                unlogged = state_->droppedUnlogged;
                state_->droppedUnlogged = 0;
            }
            waiting = state_->queue.size();
            total = state_->dropped;
        }
    }
    if (closing) {
        LogNotSent(mail.sKind, kClosingReason);
        return false;
    }
    if (unlogged > 0) {
        // At most one entry a minute: a dead server and a flapping sensor would fill the
        // log as fast as the queue.
        RunLog().AddError(
            "<li><dt> %s \"%s\" dropped: %d alert messages wait for the mail server already; "
            "%d dropped since the last such entry, %d in all.</li>",
            dropped.sKind.c_str(), HtmlEscaped(dropped.sSubject).c_str(), static_cast<int>(waiting),
            static_cast<int>(unlogged), static_cast<int>(total));
    }
    return queued;
}

size_t CMailSender::Dropped() const {
    std::lock_guard lock(state_->mutex);
    return state_->dropped;
}

bool CMailSender::Stop(std::chrono::milliseconds bound) {
    if (stopped_) {
        return stopResult_;
    }
    stopped_ = true;
    std::deque<AlertMail> left;
    bool ended = false;
    size_t unloggedDrops = 0, totalDrops = 0;
    {
        std::unique_lock lock(state_->mutex);
        state_->stopping = true;
        state_->wake.notify_one();
        ended = state_->idle.wait_for(lock, bound, [&] { return state_->ended; });
        if (!ended) {
            left.swap(state_->queue);
        }
        unloggedDrops = state_->droppedUnlogged;
        totalDrops = state_->dropped;
        state_->droppedUnlogged = 0;
    }
    if (unloggedDrops > 0) {
        RunLog().AddError(
            "<li><dt> %d more alert messages were dropped from the full queue, %d "
            "in all.</li>",
            static_cast<int>(unloggedDrops), static_cast<int>(totalDrops));
    }
    for (const auto& mail : left) {
        LogNotSent(mail.sKind, kClosingReason);
    }
    if (!ended) {
        RunLog().AddError(
            "<li><dt> Mail sender FAILED to stop within %d ms; the message being sent is left "
            "to finish on its own.</li>",
            static_cast<int>(bound.count()));
    }
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
    stopResult_ = ended;
    return ended;
}

size_t CMailSender::Pending() const {
    std::lock_guard lock(state_->mutex);
    return state_->queue.size() + (state_->busy ? 1 : 0);
}

bool CMailSender::WaitIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(state_->mutex);
    return state_->idle.wait_for(lock, timeout,
                                 [&] { return state_->queue.empty() && !state_->busy; });
}

int CMailSender::LiveThreads() {
    return liveThreads.load();
}

}  // namespace zm

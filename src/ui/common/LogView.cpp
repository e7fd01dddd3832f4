#include "ui/common/LogView.h"

#include <QContextMenuEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <algorithm>

#include "base/Log.h"

namespace zm {

CLogView::CLogView(QWidget* parent) : QWebEngineView(parent) {
    setObjectName("logView");
    setContextMenuPolicy(Qt::NoContextMenu);
    checkTimer_.setSingleShot(true);
    connect(&checkTimer_, &QTimer::timeout, this, &CLogView::OnCheckTimer);
    scrollTimer_.setSingleShot(true);
    scrollTimer_.setInterval(kScrollDelayMs);
    connect(&scrollTimer_, &QTimer::timeout, this, &CLogView::OnScrollTimer);
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        if (ok && following_ && !IsAddress()) {
            ScrollToBottom();
            // Once more when the page has surely laid itself out.
            scrollTimer_.start();
        }
    });
    // A page may finish its layout after it reported its load: the newest entry stays in
    // sight as the page grows.
    connect(page(), &QWebEnginePage::contentsSizeChanged, this, [this] {
        if (following_ && !IsAddress()) {
            ScrollToBottom();
        }
    });
}

CLogView::~CLogView() {
    // After this the log's writers no longer reach the view.
    if (log_) {
        log_->DetachView(this);
    }
}

bool CLogView::IsAddress() const {
    return log_ && log_->IsAddress();
}

void CLogView::AttachLog(CLog* log, bool load) {
    if (log_) {
        log_->DetachView(this);
    }
    following_ = false;
    checkTimer_.stop();
    scrollTimer_.stop();
    log_ = log;
    if (!log_ || !load) {
        return;
    }
    settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, log_->IsAddress());
    following_ = true;
    Navigate();
    // Runs on the writing thread with the log's view list locked: only post.
    log_->AttachView(this, [this] {
        QMetaObject::invokeMethod(this, &CLogView::OnLogChanged, Qt::QueuedConnection);
    });
    // A new view is dirty: it loads once more at its first check.
    checkTimer_.start(kFirstCheckMs);
}

void CLogView::OnLogChanged() {
    dirty_ = true;
    ScheduleCheck();
}

void CLogView::ScheduleCheck() {
    if (!following_ || checkTimer_.isActive()) {
        return;
    }
    // At most one reload a second: the next one waits for the second to be over.
    const qint64 since = sinceReload_.isValid() ? sinceReload_.elapsed() : kCheckMs;
    checkTimer_.start(int(std::max<qint64>(0, kCheckMs - since)));
}

void CLogView::Navigate() {
    const QString path = QString::fromStdString(log_->GetPath());
    const QUrl url = log_->IsAddress() ? QUrl(path) : QUrl::fromLocalFile(path);
    ++navigations_;
    setUrl(url);
    emit Navigated();
}

void CLogView::OnCheckTimer() {
    if (!following_ || !dirty_ || !isVisible()) {
        return;  // a hidden view checks again when it is shown
    }
    dirty_ = false;
    sinceReload_.start();
    Navigate();
}

void CLogView::OnScrollTimer() {
    if (following_ && !IsAddress()) {
        ScrollToBottom();
    }
}

void CLogView::ScrollToBottom() {
    // Our own script world: it runs while the page's scripts are switched off.
    page()->runJavaScript(
        "(function(){var e=document.scrollingElement||document.body;"
        "if(e){e.scrollTop=e.scrollHeight;}})();",
        QWebEngineScript::ApplicationWorld);
    emit ScrolledToBottom();
}

void CLogView::resizeEvent(QResizeEvent* event) {
    QWebEngineView::resizeEvent(event);
    if (log_ && !IsAddress()) {
        dirty_ = true;
        ScheduleCheck();
    }
}

void CLogView::showEvent(QShowEvent* event) {
    QWebEngineView::showEvent(event);
    if (log_ && !following_) {
        AttachLog(log_, true);
    } else if (dirty_) {
        ScheduleCheck();
    }
}

void CLogView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

void CLogView::CallScript(const QString& function, const QString& argument) {
    CallScriptArgs(function, argument.isEmpty() ? QStringList() : QStringList{argument});
}

void CLogView::CallScriptArgs(const QString& function, const QStringList& arguments) {
    // Only a (dotted) name is called: the name never becomes code of its own.
    static const QRegularExpression name(
        QStringLiteral(R"(^[A-Za-z_$][A-Za-z0-9_$]*(\.[A-Za-z_$][A-Za-z0-9_$]*)*$)"));
    if (!name.match(function).hasMatch()) {
        return;
    }
    const QString args = QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact));
    const int dot = function.lastIndexOf('.');
    const QString owner = dot < 0 ? QStringLiteral("window") : function.left(dot);
    page()->runJavaScript(
        QStringLiteral("(function(){try{var o=%1,f=%2;if(typeof f==='function'){f.apply(o,%3);}}"
                       "catch(e){}})();")
            .arg(owner, function, args));
}

}  // namespace zm

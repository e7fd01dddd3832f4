#pragma once

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QWebEngineView>

namespace zm {

class CLog;

// Shows one log as its rendered HTML page: a log file (the run log, the device log) or a
// web address (the web log: the embedded map). A file log is reloaded when entries arrive,
// at once when the last reload is a second old, else when it is (at most one reload a
// second), only while the view is visible, and then scrolled to its newest entry; an address is
// loaded when attached and once more at the first tick at which the view is visible, and left alone
// afterwards.
//
// File logs are shown with JavaScript off: they hold names typed by operators.
class CLogView : public QWebEngineView {
    Q_OBJECT

  public:
    static constexpr int kFirstCheckMs = 500;
    static constexpr int kCheckMs = 1000;
    static constexpr int kScrollDelayMs = 500;

    explicit CLogView(QWidget* parent = nullptr);
    ~CLogView() override;

    // Leaves the previous log. With load set (and a log), shows the log's path, follows its
    // entries and starts the reload timer; without, only remembers the log, which is then
    // loaded when the view is first shown.
    void AttachLog(CLog* log, bool load);
    CLog* AttachedLog() const { return log_; }

    // Calls a function of the page shown with text arguments (none when the text is
    // empty). The result, and any failure, is dropped: the page may not be loaded yet.
    void CallScript(const QString& function, const QString& argument = {});
    void CallScriptArgs(const QString& function, const QStringList& arguments);

    bool IsDirty() const { return dirty_; }
    // How often the view has navigated to its log (for the map's "no reload" rule).
    int NavigationCount() const { return navigations_; }

  signals:
    void Navigated();
    void ScrolledToBottom();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void OnLogChanged();
    void ScheduleCheck();
    void OnCheckTimer();
    void OnScrollTimer();
    void Navigate();
    void ScrollToBottom();
    bool IsAddress() const;

    CLog* log_ = nullptr;
    bool following_ = false;  // attached to log_ with loading
    bool dirty_ = true;
    int navigations_ = 0;
    QTimer checkTimer_;  // timer 1: reload when dirty, a second after the last reload
    QElapsedTimer sinceReload_;
    QTimer scrollTimer_;  // timer 2: scroll again after a load
};

}  // namespace zm

#pragma once

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <string>

#include "alarms/AlarmOperations.h"
#include "app/UiPort.h"
#include "base/ListenerList.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace zm {

class CAlarmWorker;
class CFlashImage;
class CIni;
class CLabel;

// The list inside the alarm and connection-lost windows: a flashing beacon, the title
// "!!! <kind> !!!", the last device, "Reset history:", "Save to Log-File:" and one row per
// event. A double click on a row opens its report file.
class CAlarmView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kFlashMs = 50;
    static constexpr int kDefaultFlashes = 7;
    // The list options, shared by both windows.
    static constexpr const char* kOptionsSection = "AlarmWnd::m_pAlarmView";

    static constexpr int kRowFlashMs = 500;
    // The alarm's id on the first cell of its row.
    static constexpr int kAlarmIdRole = Qt::UserRole + 1;

    enum Column {
        kColNumber,
        kColSensor,
        kColTime,
        kColPosition,
        kColPath,
        kColState,  // the alarm's lifecycle state; shown second, after the number
        kColumnCount
    };

    explicit CAlarmView(QWidget* parent = nullptr);

    // Sets the title to the entry's kind, the last device, appends the row and flashes.
    void AddEntry(const AlarmPopupEntry& entry, int flashCount = kDefaultFlashes);
    // Deletes the first row of the device; returns whether the list is empty now.
    bool RemoveDevice(const std::string& deviceName);
    // Asks (OK/Cancel) and, on OK, empties the list; returns whether it did.
    bool ResetHistory();

    int RowCount() const;
    QString Title() const;
    QString LastDevice() const;
    QString Cell(int row, Column column) const;
    bool IsFlashing() const { return flashTimer_.isActive(); }
    int FlashesLeft() const { return flashesLeft_; }
    bool SaveToLogFile() const;

    // The alarm lifecycle: the state column, "Acknowledge" and "Acknowledge all", and rows
    // that flash until acknowledged. Without it the view is the connection-lost list.
    // Writes run on the worker; the view follows the lifecycle's changes.
    void SetLifecycle(alarms::AlarmOperations* operations, alarms::Actor actor,
                      CAlarmWorker* worker);
    bool HasLifecycle() const { return operations_ != nullptr; }
    // A change of the lifecycle, on the GUI thread.
    void OnAlarmChange(const alarms::AlarmChange& change);
    // Acknowledges the selected rows' alarms, or every open alarm.
    void AcknowledgeSelected();
    void AcknowledgeAll();
    // The alarm a row shows (0: none), and whether it is lit in the row flash now.
    std::int64_t AlarmIdOf(int row) const;
    bool IsRowLit(int row) const;
    bool IsRowFlashing() const { return rowFlashTimer_.isActive(); }
    QPushButton* AcknowledgeButton() const { return ack_; }
    QPushButton* AcknowledgeAllButton() const { return ackAll_; }
    QLineEdit* CommentField() const { return comment_; }

    void LoadOptions(const CIni& settings);
    void SaveOptions(CIni& settings) const;

    QTableWidget* List() const { return list_; }
    CFlashImage* Image() const { return image_; }
    CLabel* TitleLabel() const { return title_; }

    void RetranslateUi();

  private:
    void SetTitle(const QString& title);
    // Widens a column (never narrows it) so that the text stands whole.
    void FitColumnTo(int column, const QString& text);
    void OnFlashTick();
    void OpenRowReport(int row);
    void StopFlashing();
    int RowOfAlarm(std::int64_t id) const;
    int AppendRow(const AlarmPopupEntry& entry);
    void SetRowState(int row, const alarms::AlarmRecord& alarm);
    void OnRowFlashTick();
    void UpdateAlarmControls();
    void ShowAckResult(const alarms::OpResult& result);

    CFlashImage* image_ = nullptr;
    CLabel* title_ = nullptr;
    QLabel* lastDeviceLabel_ = nullptr;
    QLineEdit* lastDevice_ = nullptr;
    QPushButton* reset_ = nullptr;
    QCheckBox* saveToLog_ = nullptr;
    QTableWidget* list_ = nullptr;
    QLabel* commentLabel_ = nullptr;
    QLineEdit* comment_ = nullptr;
    QPushButton* ack_ = nullptr;
    QPushButton* ackAll_ = nullptr;
    QTimer flashTimer_;
    QTimer rowFlashTimer_;
    bool rowsLit_ = false;
    int flashesLeft_ = 0;
    alarms::AlarmOperations* operations_ = nullptr;
    alarms::Actor actor_;
    CAlarmWorker* worker_ = nullptr;
    ListenerToken changeToken_;
    bool hasEntries_ = false;  // the title shows a kind, not "NO ALARMS"
};

}  // namespace zm

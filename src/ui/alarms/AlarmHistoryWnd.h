#pragma once

#include <QString>
#include <QWidget>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "alarms/AlarmOperations.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class QTableWidget;

namespace zm {

class CAlarmWorker;
class CHistoryModel;

// "Alarm history...": the alarms of a device (or all) opened in a date range, with who
// acknowledged them, exported as CSV; and the alarm-load figures of the last days. The
// queries read the database on the worker; the window shows "Loading..." meanwhile.
class CAlarmHistoryWnd final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kDefaultDays = 30;

    CAlarmHistoryWnd(alarms::AlarmOperations& operations, std::vector<std::string> devices,
                     QWidget* owner = nullptr);
    ~CAlarmHistoryWnd() override;

    // The query the filters stand for: from the first day's start to the last day's end,
    // local time; false when the range is empty.
    bool QueryFromFilters(alarms::HistoryQuery* query) const;
    // Runs the history and the statistics queries for the filters as they are.
    void Reload();
    void ReloadStatistics();
    bool IsLoading() const;

    // Writes the rows shown as CSV; false (with the reason) when the file cannot be written.
    bool ExportTo(const QString& path, QString* error = nullptr) const;
    // Where "Export CSV..." asks for the file (tests answer without a dialog).
    using FileChooser = std::function<QString(QWidget* parent, const QString& proposed)>;
    static void SetFileChooser(FileChooser chooser);

    const std::vector<alarms::AlarmRecord>& Rows() const;
    const alarms::AlarmStatistics& Statistics() const { return statistics_; }
    QTableView* Table() const { return table_; }
    QTableWidget* StatisticsTable() const { return statsTable_; }
    QComboBox* DeviceBox() const { return device_; }
    QDateEdit* FromDate() const { return from_; }
    QDateEdit* ToDate() const { return to_; }
    QSpinBox* DaysBox() const { return days_; }
    QPushButton* ExportButton() const { return export_; }
    QLabel* StatusLabel() const { return status_; }

    void RetranslateUi();

  private:
    void ShowHistory(std::vector<alarms::AlarmRecord> rows);
    void ShowStatistics(alarms::AlarmStatistics stats);
    void Export();
    void UpdateStatus();

    alarms::AlarmOperations& operations_;
    std::unique_ptr<CAlarmWorker> worker_;
    std::unique_ptr<CHistoryModel> model_;
    alarms::AlarmStatistics statistics_;
    int historyRequests_ = 0;  // answers still to come; only the newest is shown
    int statsRequests_ = 0;
    QLabel* deviceLabel_ = nullptr;
    QComboBox* device_ = nullptr;
    QLabel* fromLabel_ = nullptr;
    QDateEdit* from_ = nullptr;
    QLabel* toLabel_ = nullptr;
    QDateEdit* to_ = nullptr;
    QPushButton* show_ = nullptr;
    QPushButton* export_ = nullptr;
    QLabel* status_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* statsTitle_ = nullptr;
    QLabel* daysLabel_ = nullptr;
    QSpinBox* days_ = nullptr;
    QPushButton* showStats_ = nullptr;
    QTableWidget* statsTable_ = nullptr;
    QTableWidget* perDayTable_ = nullptr;
};

}  // namespace zm

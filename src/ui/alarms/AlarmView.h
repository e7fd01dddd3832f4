#pragma once

#include <QTimer>
#include <QWidget>
#include <string>

#include "app/UiPort.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace zm {

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

    enum Column { kColNumber, kColSensor, kColTime, kColPosition, kColPath, kColumnCount };

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

    CFlashImage* image_ = nullptr;
    CLabel* title_ = nullptr;
    QLabel* lastDeviceLabel_ = nullptr;
    QLineEdit* lastDevice_ = nullptr;
    QPushButton* reset_ = nullptr;
    QCheckBox* saveToLog_ = nullptr;
    QTableWidget* list_ = nullptr;
    QTimer flashTimer_;
    int flashesLeft_ = 0;
    bool hasEntries_ = false;  // the title shows a kind, not "NO ALARMS"
};

}  // namespace zm

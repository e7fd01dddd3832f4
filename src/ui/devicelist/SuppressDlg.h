#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "ui/devicelist/Suppression.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace zm {

// Asks what a suppression needs: for shelving a duration (15 min, 1 h, 4 h, 8 h or the
// operator's own minutes, at most a day) and a reason; for out of service the reason
// alone. OK stays greyed, with the reason said, until the input may be sent.
class CSuppressDlg final : public QDialog {
    Q_OBJECT
  public:
    enum class Mode { Shelve, OutOfService };

    CSuppressDlg(Mode mode, const std::vector<std::string>& devices, QWidget* parent = nullptr);

    Mode GetMode() const { return mode_; }
    SuppressInput Input() const;
    // Minutes of the chosen duration (shelving), the trimmed reason.
    int Minutes() const;
    std::string Reason() const;
    // Empty when OK may be pressed.
    QString Problem() const;

    QComboBox* DurationBox() const { return duration_; }
    QSpinBox* MinutesBox() const { return minutes_; }
    QLineEdit* ReasonField() const { return reason_; }
    QDialogButtonBox* Buttons() const { return buttons_; }

  private:
    void Check();

    Mode mode_;
    QComboBox* duration_ = nullptr;
    QSpinBox* minutes_ = nullptr;
    QLineEdit* reason_ = nullptr;
    QLabel* problem_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

}  // namespace zm

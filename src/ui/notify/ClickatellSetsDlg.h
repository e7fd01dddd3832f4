#pragma once

#include <QDialog>

#include "app/ManagerSettings.h"

class QLineEdit;

namespace zm {

// The SMS gateway account. The gateway and its mail address are shown, not edited.
class CClickatellSetsDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CClickatellSetsDlg(const ManagerSettings& settings, QWidget* parent = nullptr);

    // Copies the editable values into the settings (after OK).
    void ApplyTo(ManagerSettings& settings) const;

    // The menu command: the dialog on a copy of the settings, taken back only on OK.
    // Returns whether the dialog ended with OK.
    static bool Run(ManagerSettings& settings, QWidget* parent);

  private:
    QLineEdit* gateway_ = nullptr;
    QLineEdit* mailAddress_ = nullptr;
    QLineEdit* userName_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* clientId_ = nullptr;
    QLineEdit* apiId_ = nullptr;
};

}  // namespace zm

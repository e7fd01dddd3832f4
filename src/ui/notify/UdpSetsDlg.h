#pragma once

#include <QDialog>

#include "app/ManagerSettings.h"

class QCheckBox;
class QLineEdit;

namespace zm {

// The UDP datagram target and switches. The "Broadcast MAC" switch is kept but hidden.
class CUdpSetsDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CUdpSetsDlg(const ManagerSettings& settings, QWidget* parent = nullptr);

    // Copies the values into the settings (after OK; the sender reads them per datagram).
    void ApplyTo(ManagerSettings& settings) const;

    // The menu command: the dialog on a copy of the settings, taken back only on OK.
    // Returns whether the dialog ended with OK.
    static bool Run(ManagerSettings& settings, QWidget* parent);

    void accept() override;

  private:
    QCheckBox* enabled_ = nullptr;
    QCheckBox* broadcastMac_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* port_ = nullptr;
    QCheckBox* sendState_ = nullptr;
    QCheckBox* sendData_ = nullptr;
};

}  // namespace zm

#pragma once

#include <QDialog>

#include "app/ManagerSettings.h"

class QPlainTextEdit;

namespace zm {

// The recipient list of alert mails and SMS, one entry per line.
class CRecipientsDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CRecipientsDlg(const ManagerSettings& settings, QWidget* parent = nullptr);

    // The list as it would be stored now (normalised, comma-separated).
    std::string EditedList() const;
    // Copies the list into the settings (after OK).
    void ApplyTo(ManagerSettings& settings) const;

    // The menu command: the dialog, the list taken on OK, and then (OK or Cancel) the
    // message with the current list. Returns whether the dialog ended with OK.
    static bool Run(ManagerSettings& settings, QWidget* parent);

  private:
    QPlainTextEdit* edit_ = nullptr;
};

}  // namespace zm

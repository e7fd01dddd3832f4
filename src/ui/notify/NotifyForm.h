#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;
class QFormLayout;
class QLineEdit;

namespace zm {

// The pieces the notification dialogs share.

// An edit for a text setting.
QLineEdit* AddTextRow(QFormLayout& form, const QString& label, const QString& objectName,
                      const QString& value);
// An edit that takes a port number (digits, 0 to 65535).
QLineEdit* AddPortRow(QFormLayout& form, const QString& label, const QString& objectName,
                      int value);
// OK and Cancel ("okButton", "cancelButton"), wired to accept and reject.
QDialogButtonBox* AddOkCancel(QDialog& dialog);

}  // namespace zm

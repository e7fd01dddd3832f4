#include "ui/notify/NotifyForm.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace zm {

QLineEdit* AddTextRow(QFormLayout& form, const QString& label, const QString& objectName,
                      const QString& value) {
    auto* edit = new QLineEdit(value, form.parentWidget());
    edit->setObjectName(objectName);
    auto* caption = new QLabel(label, form.parentWidget());
    caption->setObjectName(objectName + "Label");
    caption->setBuddy(edit);
    form.addRow(caption, edit);
    return edit;
}

QLineEdit* AddPortRow(QFormLayout& form, const QString& label, const QString& objectName,
                      int value) {
    QLineEdit* edit = AddTextRow(form, label, objectName, QString::number(value));
    edit->setValidator(new QIntValidator(0, 65535, edit));
    return edit;
}

QDialogButtonBox* AddOkCancel(QDialog& dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->setObjectName("buttonBox");
    buttons->button(QDialogButtonBox::Ok)->setObjectName("okButton");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cancelButton");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

}  // namespace zm

#include "ui/notify/RecipientsDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/Recipients.h"
#include "ui/common/MessageBox.h"
#include "ui/notify/NotifyForm.h"

namespace zm {

CRecipientsDlg::CRecipientsDlg(const ManagerSettings& settings, QWidget* parent) : QDialog(parent) {
    setObjectName("recipientsDlg");
    setWindowTitle(QStringLiteral("Recipients"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("&Recipients (please enter valid e-mails):"), this);
    label->setObjectName("recipientsLabel");
    edit_ = new QPlainTextEdit(this);
    edit_->setObjectName("recipientsEdit");
    edit_->setPlainText(QString::fromStdString(RecipientsForEditing(settings.sMailRecipients))
                            .replace("\r\n", "\n"));
    label->setBuddy(edit_);
    layout->addWidget(label);
    layout->addWidget(edit_, 1);
    layout->addWidget(AddOkCancel(*this));
    resize(360, 260);
}

std::string CRecipientsDlg::EditedList() const {
    return RecipientsFromEditing(edit_->toPlainText().toStdString());
}

void CRecipientsDlg::ApplyTo(ManagerSettings& settings) const {
    settings.sMailRecipients = EditedList();
}

bool CRecipientsDlg::Run(ManagerSettings& settings, QWidget* parent) {
    bool accepted = false;
    {
        CRecipientsDlg dialog(settings, parent);
        accepted = dialog.exec() == QDialog::Accepted;
        if (accepted) {
            dialog.ApplyTo(settings);
        }
    }
    MessageBox::Show(parent, RecipientsListMessage(settings.sMailRecipients),
                     {MsgButtons::kOk, MsgIcon::kInformation});
    return accepted;
}

}  // namespace zm

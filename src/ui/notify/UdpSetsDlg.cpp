#include "ui/notify/UdpSetsDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "platform/Sockets.h"
#include "ui/notify/NotifyForm.h"

namespace zm {
namespace {

QCheckBox* AddCheck(QWidget* parent, QVBoxLayout& layout, const QString& text,
                    const QString& objectName, int value) {
    auto* check = new QCheckBox(text, parent);
    check->setObjectName(objectName);
    check->setChecked(value != 0);
    layout.addWidget(check);
    return check;
}

bool IsIpv4(const QString& text) {
    in_addr address{};
    return inet_pton(AF_INET, text.toLatin1().constData(), &address) == 1;
}

}  // namespace

CUdpSetsDlg::CUdpSetsDlg(const ManagerSettings& settings, QWidget* parent) : QDialog(parent) {
    setObjectName("udpSetsDlg");
    setWindowTitle(QStringLiteral("UDP Datagrams Settings"));
    auto* layout = new QVBoxLayout(this);
    enabled_ = AddCheck(this, *layout, "Enable the sending of UDP datagrams", "udpEnabledCheck",
                        settings.udp_enabled);
    broadcastMac_ = AddCheck(this, *layout, "Broadcast MAC", "udpBroadcastMacCheck",
                             settings.udp_broadcast_mac);
    broadcastMac_->hide();
    auto* form = new QFormLayout;
    layout->addLayout(form);
    address_ = AddTextRow(*form, "IPv4 address:", "udpAddressEdit",
                          QString::fromStdString(settings.udp_ip_address));
    address_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral(R"(^[0-9]{1,3}(\.[0-9]{1,3}){0,3}$)")), address_));
    port_ = AddPortRow(*form, "Port NR:", "udpPortEdit", settings.udp_port);
    sendState_ =
        AddCheck(this, *layout, "Treat State", "udpSendStateCheck", settings.udp_send_state);
    sendData_ = AddCheck(this, *layout, "Treat Data", "udpSendDataCheck", settings.udp_send_data);
    layout->addWidget(AddOkCancel(*this));
}

void CUdpSetsDlg::accept() {
    // A half-typed address would silently send nowhere: the dialog stays until it is whole.
    if (!IsIpv4(address_->text())) {
        address_->setFocus();
        address_->selectAll();
        return;
    }
    QDialog::accept();
}

void CUdpSetsDlg::ApplyTo(ManagerSettings& settings) const {
    settings.udp_enabled = enabled_->isChecked() ? 1 : 0;
    settings.udp_broadcast_mac = broadcastMac_->isChecked() ? 1 : 0;
    settings.udp_ip_address = address_->text().toStdString();
    settings.udp_port = port_->text().toInt();
    settings.udp_send_state = sendState_->isChecked() ? 1 : 0;
    settings.udp_send_data = sendData_->isChecked() ? 1 : 0;
}

bool CUdpSetsDlg::Run(ManagerSettings& settings, QWidget* parent) {
    CUdpSetsDlg dialog(settings, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    dialog.ApplyTo(settings);
    return true;
}

}  // namespace zm

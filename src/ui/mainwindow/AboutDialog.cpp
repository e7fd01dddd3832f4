#include "ui/mainwindow/AboutDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "base/Version.h"
#include "ui/mainwindow/AppIcon.h"

namespace zm {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutDialog");
    setWindowTitle(QString("About") + " " + kProductId);

    auto* icon = new QLabel(this);
    icon->setObjectName("aboutIcon");
    icon->setPixmap(QPixmap::fromImage(DrawAppIcon(QSize(kIconWidth, kIconHeight))));
    icon->setFixedSize(kIconWidth, kIconHeight);
    icon->setAccessibleName("Application icon");

    auto* version = new QLabel(QString::fromStdString(GetVersionText()), this);
    version->setObjectName("aboutVersion");
    auto* copyright = new QLabel(QString::fromLatin1(kCopyright), this);
    copyright->setObjectName("aboutCopyright");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName("aboutButtons");
    buttons->button(QDialogButtonBox::Ok)->setObjectName("aboutOk");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(copyright, 1, 1);
    layout->addWidget(buttons, 2, 1, Qt::AlignRight | Qt::AlignBottom);
    layout->setColumnStretch(1, 1);
}

}  // namespace zm

#include "ui/alarms/AlarmView.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <ctime>

#include "base/Ini.h"
#include "base/MlsPrgMsg.h"
#include "base/texts/WindowTexts.h"
#include "ui/alarms/FlashImage.h"
#include "ui/common/Label.h"
#include "ui/common/MessageBox.h"
#include "ui/common/SystemOpen.h"

namespace zm {
namespace {

QString Tr(const CMlsEntry& entry) {
    return QString::fromStdString(Translate(entry));
}

QString TimeText(std::time_t time) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[16] = {};
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return QString::fromLatin1(text);
}

std::string OptionKey(int index) {
    return "bOpts[" + std::to_string(index) + "]";
}

}  // namespace

CAlarmView::CAlarmView(QWidget* parent) : QWidget(parent) {
    setObjectName("alarmView");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto* top = new QHBoxLayout;
    image_ = new CFlashImage(this);
    top->addWidget(image_);
    title_ = new CLabel(this);
    title_->setObjectName("alarmTitle");
    title_->SetCentreImage(true);
    title_->SetWeightBold(true).SetPointSize(13).SetEmboss(true, 0);
    title_->setMinimumHeight(image_->sizeHint().height());
    top->addWidget(title_, 1);
    layout->addLayout(top);

    auto* device = new QHBoxLayout;
    lastDeviceLabel_ = new QLabel(this);
    lastDeviceLabel_->setObjectName("lastDeviceLabel");
    lastDevice_ = new QLineEdit(this);
    lastDevice_->setObjectName("lastDeviceField");
    lastDevice_->setReadOnly(true);
    lastDeviceLabel_->setBuddy(lastDevice_);
    device->addWidget(lastDeviceLabel_);
    device->addWidget(lastDevice_, 1);
    layout->addLayout(device);

    auto* buttons = new QHBoxLayout;
    reset_ = new QPushButton(this);
    reset_->setObjectName("resetHistoryButton");
    saveToLog_ = new QCheckBox(this);
    saveToLog_->setObjectName("saveToLogCheck");
    saveToLog_->setLayoutDirection(Qt::RightToLeft);  // the text before the box
    buttons->addWidget(reset_);
    buttons->addStretch(1);
    buttons->addWidget(saveToLog_);
    layout->addLayout(buttons);

    list_ = new QTableWidget(0, kColumnCount, this);
    list_->setObjectName("alarmList");
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setStretchLastSection(false);
    const int widths[kColumnCount] = {40, 100, 70, 150, 400};
    for (int column = 0; column < kColumnCount; ++column) {
        list_->setColumnWidth(column, widths[column]);
    }
    layout->addWidget(list_, 1);

    flashTimer_.setInterval(kFlashMs);
    connect(&flashTimer_, &QTimer::timeout, this, &CAlarmView::OnFlashTick);
    connect(reset_, &QPushButton::clicked, this, [this] { ResetHistory(); });
    connect(list_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { OpenRowReport(row); });

    RetranslateUi();
}

void CAlarmView::RetranslateUi() {
    lastDeviceLabel_->setText(Tr(texts::tpAlarmView_LastDevice) + ":");
    reset_->setText(QStringLiteral("Reset history:"));
    saveToLog_->setText(QStringLiteral("Save to Log-File:"));
    list_->setHorizontalHeaderLabels({QStringLiteral("No:"), Tr(texts::tpAlarmView_Sensor) + ":",
                                      Tr(texts::tpAlarmView_Time) + ":",
                                      Tr(texts::tpAlarmView_Positions) + ":",
                                      QStringLiteral("Log file path")});
    if (!hasEntries_) {
        SetTitle(Tr(texts::tpAlarmView_NoAlarms));
    }
}

void CAlarmView::SetTitle(const QString& title) {
    title_->SetLabelText(title);
    image_->setAccessibleName(title);
}

void CAlarmView::FitColumnTo(int column, const QString& text) {
    constexpr int kCellPadding = 16;  // the cell's margins on both sides and the grid line
    const int needed = list_->fontMetrics().horizontalAdvance(text) + kCellPadding;
    if (needed > list_->columnWidth(column)) {
        list_->setColumnWidth(column, needed);
    }
}

void CAlarmView::AddEntry(const AlarmPopupEntry& entry, int flashCount) {
    const QString title = "!!! " + QString::fromStdString(entry.kind) + " !!!";
    hasEntries_ = true;
    if (title_->LabelText() != title) {
        SetTitle(title);
    }
    const QString name = QString::fromStdString(entry.deviceName);
    lastDevice_->setText(name);

    const int row = list_->rowCount();
    list_->insertRow(row);
    const QString cells[kColumnCount] = {QString::number(row + 1), name, TimeText(entry.time),
                                         QString::fromStdString(entry.position),
                                         QString::fromStdString(entry.reportPath)};
    for (int column = 0; column < kColumnCount; ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        if (column == kColPosition) {
            item->setTextAlignment(Qt::AlignCenter);
        }
        list_->setItem(row, column, item);
    }
    // The described widths suit the original system font; with a wider one the position
    // and a long name would be cut, and the operator must read them whole.
    FitColumnTo(kColSensor, cells[kColSensor]);
    FitColumnTo(kColPosition, cells[kColPosition]);
    list_->scrollToItem(list_->item(row, 0));

    // A new entry starts the count again.
    flashesLeft_ = std::max(flashCount, 0);
    image_->ShowSet(0);
    if (flashesLeft_ > 0) {
        flashTimer_.start();
    } else {
        flashTimer_.stop();
    }
}

void CAlarmView::OnFlashTick() {
    if (image_->CurrentSet() == 0) {
        image_->ShowSet(1);
        return;
    }
    image_->ShowSet(0);
    if (--flashesLeft_ <= 0) {
        StopFlashing();
    }
}

void CAlarmView::StopFlashing() {
    flashTimer_.stop();
    flashesLeft_ = 0;
    image_->ShowSet(0);
}

bool CAlarmView::RemoveDevice(const std::string& deviceName) {
    const QString name = QString::fromStdString(deviceName);
    for (int row = 0; row < list_->rowCount(); ++row) {
        const QTableWidgetItem* item = list_->item(row, kColSensor);
        if (item && item->text() == name) {
            list_->removeRow(row);
            break;
        }
    }
    return list_->rowCount() == 0;
}

bool CAlarmView::ResetHistory() {
    const std::string question = Translate(texts::tpAlarmView_ClearAlarmHistory) + "?\r\n" +
                                 Translate(texts::tpAlarmView_ClearLogFile) + "!";
    if (MessageBox::Show(window(), question, {MsgButtons::kOkCancel, MsgIcon::kWarning}) !=
        MsgResult::kOk) {
        return false;
    }
    list_->setRowCount(0);
    hasEntries_ = false;
    SetTitle(Tr(texts::tpAlarmView_NoAlarms));
    lastDevice_->clear();
    StopFlashing();
    return true;
}

void CAlarmView::OpenRowReport(int row) {
    const QTableWidgetItem* item = list_->item(row, kColPath);
    if (item && !item->text().isEmpty() && QFileInfo(item->text()).isFile()) {
        SystemOpen::Open(item->text());
    }
}

int CAlarmView::RowCount() const {
    return list_->rowCount();
}

QString CAlarmView::Title() const {
    return title_->LabelText();
}

QString CAlarmView::LastDevice() const {
    return lastDevice_->text();
}

QString CAlarmView::Cell(int row, Column column) const {
    const QTableWidgetItem* item = list_->item(row, column);
    return item ? item->text() : QString();
}

bool CAlarmView::SaveToLogFile() const {
    return saveToLog_->isChecked();
}

void CAlarmView::LoadOptions(const CIni& settings) {
    saveToLog_->setChecked(settings.GetBool(kOptionsSection, OptionKey(0), true));
    image_->SetSecondSetVariant(settings.GetBool(kOptionsSection, OptionKey(1), false) ? 1 : 0);
}

void CAlarmView::SaveOptions(CIni& settings) const {
    // The text log of the list has no use in these windows; its key keeps its place.
    settings.WriteString(kOptionsSection, "sTxtLog", "");
    settings.WriteBool(kOptionsSection, OptionKey(0), saveToLog_->isChecked());
    settings.WriteBool(kOptionsSection, OptionKey(1), image_->SecondSetVariant() != 0);
}

}  // namespace zm

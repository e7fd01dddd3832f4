#include "ui/alarms/AlarmView.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <ctime>

#include "base/Ini.h"
#include "base/MlsPrgMsg.h"
#include "base/texts/WindowTexts.h"
#include "ui/alarms/AlarmTexts.h"
#include "ui/alarms/AlarmWorker.h"
#include "ui/alarms/FlashImage.h"
#include "ui/alarms/LifecycleTexts.h"
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

constexpr int kStateRole = Qt::UserRole + 2;  // on the state cell: the AlarmState
const QColor kLitRow(255, 190, 190);

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

    auto* ackRow = new QHBoxLayout;
    ack_ = new QPushButton(this);
    ack_->setObjectName("acknowledgeButton");
    ackAll_ = new QPushButton(this);
    ackAll_->setObjectName("acknowledgeAllButton");
    commentLabel_ = new QLabel(this);
    commentLabel_->setObjectName("commentLabel");
    comment_ = new QLineEdit(this);
    comment_->setObjectName("ackCommentField");
    comment_->setMaxLength(int(alarms::kMaxCommentLength));
    commentLabel_->setBuddy(comment_);
    ackRow->addWidget(ack_);
    ackRow->addWidget(ackAll_);
    ackRow->addWidget(commentLabel_);
    ackRow->addWidget(comment_, 1);
    layout->addLayout(ackRow);
    for (QWidget* w : std::initializer_list<QWidget*>{ack_, ackAll_, commentLabel_, comment_}) {
        w->setVisible(false);  // the lifecycle's controls, while there is one
    }

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

    // The state is shown right after the number; the described columns keep their indices.
    list_->horizontalHeader()->moveSection(kColState, kColSensor);
    list_->setColumnWidth(kColState, 150);
    list_->setColumnHidden(kColState, true);

    flashTimer_.setInterval(kFlashMs);
    connect(&flashTimer_, &QTimer::timeout, this, &CAlarmView::OnFlashTick);
    rowFlashTimer_.setInterval(kRowFlashMs);
    connect(&rowFlashTimer_, &QTimer::timeout, this, &CAlarmView::OnRowFlashTick);
    connect(ack_, &QPushButton::clicked, this, [this] { AcknowledgeSelected(); });
    connect(ackAll_, &QPushButton::clicked, this, [this] { AcknowledgeAll(); });
    connect(list_, &QTableWidget::itemSelectionChanged, this, [this] { UpdateAlarmControls(); });
    connect(reset_, &QPushButton::clicked, this, [this] { ResetHistory(); });
    connect(list_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { OpenRowReport(row); });

    RetranslateUi();
}

void CAlarmView::RetranslateUi() {
    lastDeviceLabel_->setText(Tr(texts::tpAlarmView_LastDevice) + ":");
    reset_->setText(QStringLiteral("Reset history:"));
    saveToLog_->setText(QStringLiteral("Save to Log-File:"));
    list_->setHorizontalHeaderLabels(
        {QStringLiteral("No:"), Tr(texts::tpAlarmView_Sensor) + ":",
         Tr(texts::tpAlarmView_Time) + ":", Tr(texts::tpAlarmView_Positions) + ":",
         QStringLiteral("Log file path"), Tr(texts::tpAlarmView_State) + ":"});
    ack_->setText(Tr(texts::tpAlarmView_Acknowledge));
    ackAll_->setText(Tr(texts::tpAlarmView_AcknowledgeAll));
    commentLabel_->setText(Tr(texts::tpAlarmView_Comment) + ":");
    for (int row = 0; row < list_->rowCount(); ++row) {
        alarms::AlarmRecord alarm;
        if (operations_ && operations_->FindAlarm(AlarmIdOf(row), &alarm)) {
            SetRowState(row, alarm);
        }
    }
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

    // The lifecycle's alarm behind the entry: the device's newest open one. An alarm that
    // has its row already (shown again after a restart) keeps that one row.
    alarms::AlarmRecord alarm;
    bool known = false;
    if (operations_ && entry.kind == "ALARM") {
        for (const alarms::AlarmRecord& open : operations_->OpenAlarms()) {
            if (open.device == entry.deviceName && open.id > alarm.id) {
                alarm = open;
                known = true;
            }
        }
    }
    int row = known ? RowOfAlarm(alarm.id) : -1;
    if (row >= 0) {
        SetRowState(row, alarm);
    } else {
        row = AppendRow(entry);
        if (known) {
            list_->item(row, kColNumber)
                ->setData(kAlarmIdRole, QVariant::fromValue<qint64>(alarm.id));
            SetRowState(row, alarm);
        }
    }
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

int CAlarmView::AppendRow(const AlarmPopupEntry& entry) {
    const QString name = QString::fromStdString(entry.deviceName);
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
    return row;
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

void CAlarmView::SetLifecycle(alarms::AlarmOperations* operations, alarms::Actor actor,
                              CAlarmWorker* worker) {
    changeToken_.Reset();
    operations_ = operations;
    actor_ = std::move(actor);
    worker_ = worker;
    const bool on = operations_ != nullptr && worker_ != nullptr;
    if (!on) {
        operations_ = nullptr;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{ack_, ackAll_, commentLabel_, comment_}) {
        w->setVisible(on);
    }
    list_->setColumnHidden(kColState, !on);
    list_->setSelectionMode(on ? QAbstractItemView::ExtendedSelection
                               : QAbstractItemView::SingleSelection);
    if (on) {
        // Told on the thread that made the change: only posted on from there.
        QPointer<CAlarmView> self(this);
        changeToken_ = operations_->AddChangeListener([self](const alarms::AlarmChange& change) {
            QMetaObject::invokeMethod(
                qApp,
                [self, change] {
                    if (self) {
                        self->OnAlarmChange(change);
                    }
                },
                Qt::QueuedConnection);
        });
    }
    UpdateAlarmControls();
}

void CAlarmView::OnAlarmChange(const alarms::AlarmChange& change) {
    using Kind = alarms::AlarmChange::Kind;
    switch (change.kind) {
        case Kind::Opened:
        case Kind::Acknowledged:
        case Kind::Returned:
        case Kind::Closed:
        case Kind::CommLost:
        case Kind::Announced: {
            int row = RowOfAlarm(change.alarm.id);
            if (row < 0 && change.kind == Kind::Opened) {
                // The popup's entry came before the lifecycle had the alarm: the device's
                // newest row without an alarm is this one's.
                for (int r = list_->rowCount() - 1; r >= 0 && row < 0; --r) {
                    if (AlarmIdOf(r) == 0 &&
                        Cell(r, kColSensor) == QString::fromStdString(change.alarm.device)) {
                        row = r;
                        list_->item(r, kColNumber)
                            ->setData(kAlarmIdRole, QVariant::fromValue<qint64>(change.alarm.id));
                    }
                }
            }
            if (row >= 0) {
                SetRowState(row, change.alarm);
            }
            break;
        }
        default:
            break;
    }
    UpdateAlarmControls();
}

int CAlarmView::RowOfAlarm(std::int64_t id) const {
    if (id <= 0) {
        return -1;
    }
    for (int row = 0; row < list_->rowCount(); ++row) {
        if (AlarmIdOf(row) == id) {
            return row;
        }
    }
    return -1;
}

std::int64_t CAlarmView::AlarmIdOf(int row) const {
    const QTableWidgetItem* item = list_->item(row, kColNumber);
    return item ? item->data(kAlarmIdRole).toLongLong() : 0;
}

void CAlarmView::SetRowState(int row, const alarms::AlarmRecord& alarm) {
    QTableWidgetItem* item = list_->item(row, kColState);
    if (!item) {
        item = new QTableWidgetItem;
        list_->setItem(row, kColState, item);
    }
    const QString text = QString::fromStdString(AlarmStateText(alarm));
    if (item->text() != text) {
        item->setText(text);
        FitColumnTo(kColState, text);
    }
    item->setData(kStateRole, int(alarm.state));
    if (!AlarmRowFlashes(alarm.state)) {
        for (int column = 0; column < kColumnCount; ++column) {
            if (QTableWidgetItem* cell = list_->item(row, column)) {
                cell->setData(Qt::BackgroundRole, QVariant());
            }
        }
    }
    UpdateAlarmControls();
}

bool CAlarmView::IsRowLit(int row) const {
    const QTableWidgetItem* item = list_->item(row, kColNumber);
    return item && item->data(Qt::BackgroundRole).isValid();
}

void CAlarmView::OnRowFlashTick() {
    rowsLit_ = !rowsLit_;
    bool any = false;
    for (int row = 0; row < list_->rowCount(); ++row) {
        const QTableWidgetItem* state = list_->item(row, kColState);
        if (!state || !state->data(kStateRole).isValid() ||
            !AlarmRowFlashes(alarms::AlarmState(state->data(kStateRole).toInt()))) {
            continue;
        }
        any = true;
        for (int column = 0; column < kColumnCount; ++column) {
            if (QTableWidgetItem* cell = list_->item(row, column)) {
                cell->setData(Qt::BackgroundRole, rowsLit_ ? QVariant(kLitRow) : QVariant());
            }
        }
    }
    if (!any) {
        rowFlashTimer_.stop();
        rowsLit_ = false;
    }
}

void CAlarmView::UpdateAlarmControls() {
    bool anyUnacked = false;
    bool selectedUnacked = false;
    for (int row = 0; row < list_->rowCount(); ++row) {
        const QTableWidgetItem* state = list_->item(row, kColState);
        if (!state || !state->data(kStateRole).isValid() ||
            !AlarmRowFlashes(alarms::AlarmState(state->data(kStateRole).toInt()))) {
            continue;
        }
        anyUnacked = true;
        selectedUnacked = selectedUnacked || list_->item(row, kColNumber)->isSelected();
    }
    ack_->setEnabled(HasLifecycle() && selectedUnacked);
    ackAll_->setEnabled(HasLifecycle() && anyUnacked);
    // Rows that want acknowledging flash on for as long as they do.
    if (anyUnacked && !rowFlashTimer_.isActive()) {
        rowFlashTimer_.start();
    } else if (!anyUnacked && rowFlashTimer_.isActive()) {
        rowFlashTimer_.stop();
        rowsLit_ = false;
    }
}

void CAlarmView::AcknowledgeSelected() {
    if (!HasLifecycle()) {
        return;
    }
    std::vector<std::int64_t> ids;
    for (int row = 0; row < list_->rowCount(); ++row) {
        if (list_->item(row, kColNumber)->isSelected() && AlarmIdOf(row) > 0) {
            ids.push_back(AlarmIdOf(row));
        }
    }
    const std::string comment = comment_->text().toStdString();
    for (const std::int64_t id : ids) {
        worker_->Run<std::pair<alarms::OpResult, alarms::AlarmRecord>>(
            [ops = operations_, actor = actor_, comment, id] {
                alarms::AlarmRecord after;
                alarms::OpResult result = ops->Acknowledge(id, actor, comment, &after);
                return std::make_pair(result, after);
            },
            this,
            [this](std::pair<alarms::OpResult, alarms::AlarmRecord> done) {
                if (done.first) {
                    if (const int row = RowOfAlarm(done.second.id); row >= 0) {
                        SetRowState(row, done.second);
                    }
                }
                ShowAckResult(done.first);
            });
    }
    comment_->clear();
}

void CAlarmView::AcknowledgeAll() {
    if (!HasLifecycle()) {
        return;
    }
    const std::string comment = comment_->text().toStdString();
    worker_->Run<alarms::OpResult>(
        [ops = operations_, actor = actor_, comment] {
            return ops->AcknowledgeAll(actor, comment);
        },
        this,
        [this](alarms::OpResult result) {
            // The rows take their states from the lifecycle as it is now.
            for (int row = 0; row < list_->rowCount(); ++row) {
                alarms::AlarmRecord alarm;
                if (AlarmIdOf(row) > 0 && operations_->FindAlarm(AlarmIdOf(row), &alarm)) {
                    SetRowState(row, alarm);
                }
            }
            ShowAckResult(result);
        });
    comment_->clear();
}

void CAlarmView::ShowAckResult(const alarms::OpResult& result) {
    // An alarm that closed meanwhile needs no acknowledgement any more.
    if (result || result.status == alarms::OpStatus::NotFound) {
        return;
    }
    MessageBox::Show(window(), Translate(texts::tpAlarmView_NotAcknowledged) + ": " + result.error,
                     {MsgButtons::kOk, MsgIcon::kWarning});
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
    UpdateAlarmControls();
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

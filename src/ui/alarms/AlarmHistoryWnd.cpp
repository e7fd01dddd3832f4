#include "ui/alarms/AlarmHistoryWnd.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/Folders.h"
#include "base/MlsPrgMsg.h"
#include "ui/alarms/AlarmTexts.h"
#include "ui/alarms/AlarmWorker.h"
#include "ui/alarms/LifecycleTexts.h"
#include "ui/bridge/QtText.h"
#include "ui/common/MessageBox.h"

namespace zm {

// The history's rows for the table: texts are made when shown, so a long history costs
// one record per alarm and no more.
class CHistoryModel final : public QAbstractTableModel {
  public:
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : kHistColumns;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= int(rows_.size())) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return ToQString(
                HistoryCells(rows_[size_t(index.row())], now_)[size_t(index.column())]);
        }
        if (role == Qt::TextAlignmentRole &&
            (index.column() == kHistId || index.column() == kHistMaximum)) {
            return int(Qt::AlignRight | Qt::AlignVCenter);
        }
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            return ToQString(HistoryColumnTitle(section));
        }
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    void SetRows(std::vector<alarms::AlarmRecord> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        now_ = std::time(nullptr);
        endResetModel();
    }
    void Retranslate() { emit headerDataChanged(Qt::Horizontal, 0, kHistColumns - 1); }
    const std::vector<alarms::AlarmRecord>& Rows() const { return rows_; }

  private:
    std::vector<alarms::AlarmRecord> rows_;
    std::time_t now_ = 0;
};

namespace {

CAlarmHistoryWnd::FileChooser& Chooser() {
    static CAlarmHistoryWnd::FileChooser chooser;
    return chooser;
}

std::int64_t LocalMidnight(const QDate& date) {
    return QDateTime(date, QTime(0, 0)).toSecsSinceEpoch();
}

}  // namespace

CAlarmHistoryWnd::CAlarmHistoryWnd(alarms::AlarmOperations& operations,
                                   std::vector<std::string> devices, QWidget* owner)
    : QWidget(owner, Qt::Window),
      operations_(operations),
      worker_(std::make_unique<CAlarmWorker>()),
      model_(std::make_unique<CHistoryModel>()) {
    setObjectName("alarmHistoryWnd");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);

    auto* filters = new QHBoxLayout;
    deviceLabel_ = new QLabel(this);
    deviceLabel_->setObjectName("historyDeviceLabel");
    device_ = new QComboBox(this);
    device_->setObjectName("historyDevice");
    device_->addItem(QString());  // every device; its text comes with the translation
    for (const std::string& name : devices) {
        device_->addItem(ToQString(name), ToQString(name));
    }
    deviceLabel_->setBuddy(device_);
    fromLabel_ = new QLabel(this);
    fromLabel_->setObjectName("historyFromLabel");
    from_ = new QDateEdit(QDate::currentDate().addDays(-(kDefaultDays - 1)), this);
    from_->setObjectName("historyFrom");
    toLabel_ = new QLabel(this);
    toLabel_->setObjectName("historyToLabel");
    to_ = new QDateEdit(QDate::currentDate(), this);
    to_->setObjectName("historyTo");
    for (QDateEdit* edit : {from_, to_}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat("yyyy-MM-dd");
    }
    fromLabel_->setBuddy(from_);
    toLabel_->setBuddy(to_);
    show_ = new QPushButton(this);
    show_->setObjectName("historyShow");
    export_ = new QPushButton(this);
    export_->setObjectName("historyExport");
    filters->addWidget(deviceLabel_);
    filters->addWidget(device_, 1);
    filters->addWidget(fromLabel_);
    filters->addWidget(from_);
    filters->addWidget(toLabel_);
    filters->addWidget(to_);
    filters->addWidget(show_);
    filters->addWidget(export_);
    layout->addLayout(filters);

    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName("historySplit");
    table_ = new QTableView(split);
    table_->setObjectName("historyTable");
    table_->setModel(model_.get());
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);

    auto* statsPane = new QWidget(split);
    statsPane->setObjectName("statisticsPane");
    auto* statsLayout = new QVBoxLayout(statsPane);
    statsLayout->setContentsMargins(0, 0, 0, 0);
    auto* statsBar = new QHBoxLayout;
    statsTitle_ = new QLabel(statsPane);
    statsTitle_->setObjectName("statisticsTitle");
    QFont bold = statsTitle_->font();
    bold.setBold(true);
    statsTitle_->setFont(bold);
    daysLabel_ = new QLabel(statsPane);
    daysLabel_->setObjectName("statisticsDaysLabel");
    days_ = new QSpinBox(statsPane);
    days_->setObjectName("statisticsDays");
    days_->setRange(1, 400);
    days_->setValue(kDefaultDays);
    daysLabel_->setBuddy(days_);
    showStats_ = new QPushButton(statsPane);
    showStats_->setObjectName("statisticsShow");
    statsBar->addWidget(statsTitle_);
    statsBar->addStretch(1);
    statsBar->addWidget(daysLabel_);
    statsBar->addWidget(days_);
    statsBar->addWidget(showStats_);
    statsLayout->addLayout(statsBar);
    auto* statsRow = new QHBoxLayout;
    statsTable_ = new QTableWidget(0, 2, statsPane);
    statsTable_->setObjectName("statisticsTable");
    perDayTable_ = new QTableWidget(0, 2, statsPane);
    perDayTable_->setObjectName("statisticsPerDay");
    for (QTableWidget* t : {statsTable_, perDayTable_}) {
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->verticalHeader()->hide();
        t->horizontalHeader()->setStretchLastSection(true);
        t->setWordWrap(false);
        t->verticalHeader()->setDefaultSectionSize(22);
    }
    statsRow->addWidget(statsTable_, 3);
    statsRow->addWidget(perDayTable_, 1);
    statsLayout->addLayout(statsRow);
    split->addWidget(table_);
    split->addWidget(statsPane);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);

    status_ = new QLabel(this);
    status_->setObjectName("historyStatus");
    layout->addWidget(status_);

    connect(show_, &QPushButton::clicked, this, [this] { Reload(); });
    connect(export_, &QPushButton::clicked, this, [this] { Export(); });
    connect(showStats_, &QPushButton::clicked, this, [this] { ReloadStatistics(); });

    RetranslateUi();
    resize(900, 600);
    Reload();
    ReloadStatistics();
}

CAlarmHistoryWnd::~CAlarmHistoryWnd() {
    worker_.reset();  // answers for this window are dropped
}

void CAlarmHistoryWnd::RetranslateUi() {
    using namespace texts;
    setWindowTitle(Tr(tpAlarmHistory_Title));
    deviceLabel_->setText(Tr(tpAlarmHistory_Device) + ":");
    device_->setItemText(0, Tr(tpAlarmHistory_AllDevices));
    fromLabel_->setText(Tr(tpAlarmHistory_From) + ":");
    toLabel_->setText(Tr(tpAlarmHistory_To) + ":");
    show_->setText(Tr(tpAlarmHistory_Show));
    export_->setText(Tr(tpAlarmHistory_ExportCsv));
    statsTitle_->setText(Tr(tpAlarmHistory_Statistics));
    daysLabel_->setText(Tr(tpAlarmHistory_Days) + ":");
    showStats_->setText(Tr(tpAlarmHistory_Show));
    statsTable_->setHorizontalHeaderLabels({Tr(tpAlarmHistory_Statistics), QString()});
    perDayTable_->setHorizontalHeaderLabels(
        {Tr(tpAlarmHistory_Day), Tr(tpAlarmHistory_AlarmsTitle)});
    model_->Retranslate();
    ShowStatistics(statistics_);
    UpdateStatus();
}

bool CAlarmHistoryWnd::QueryFromFilters(alarms::HistoryQuery* query) const {
    if (from_->date() > to_->date()) {
        return false;
    }
    query->from = LocalMidnight(from_->date());
    query->to = LocalMidnight(to_->date().addDays(1));
    query->device = device_->currentIndex() > 0 ? device_->currentData().toString().toStdString()
                                                : std::string();
    query->limit = 0;
    return true;
}

void CAlarmHistoryWnd::Reload() {
    alarms::HistoryQuery query;
    if (!QueryFromFilters(&query)) {
        MessageBox::Show(this, Translate(texts::tpAlarmHistory_BadRange),
                         {MsgButtons::kOk, MsgIcon::kWarning});
        return;
    }
    ++historyRequests_;
    UpdateStatus();
    alarms::AlarmOperations* ops = &operations_;
    worker_->Run<std::vector<alarms::AlarmRecord>>([ops, query] { return ops->History(query); },
                                                   this,
                                                   [this](std::vector<alarms::AlarmRecord> rows) {
                                                       // The worker answers in order: the last
                                                       // answer is the newest question's.
                                                       if (--historyRequests_ == 0) {
                                                           ShowHistory(std::move(rows));
                                                       }
                                                       UpdateStatus();
                                                   });
}

void CAlarmHistoryWnd::ReloadStatistics() {
    ++statsRequests_;
    UpdateStatus();
    alarms::AlarmOperations* ops = &operations_;
    const int days = days_->value();
    worker_->Run<alarms::AlarmStatistics>([ops, days] { return ops->Statistics(days); }, this,
                                          [this](alarms::AlarmStatistics stats) {
                                              if (--statsRequests_ == 0) {
                                                  ShowStatistics(std::move(stats));
                                              }
                                              UpdateStatus();
                                          });
}

bool CAlarmHistoryWnd::IsLoading() const {
    return historyRequests_ > 0 || statsRequests_ > 0;
}

const std::vector<alarms::AlarmRecord>& CAlarmHistoryWnd::Rows() const {
    return model_->Rows();
}

void CAlarmHistoryWnd::ShowHistory(std::vector<alarms::AlarmRecord> rows) {
    model_->SetRows(std::move(rows));
    table_->resizeColumnsToContents();
}

void CAlarmHistoryWnd::ShowStatistics(alarms::AlarmStatistics stats) {
    statistics_ = std::move(stats);
    const auto lines = StatisticsLines(statistics_);
    statsTable_->setRowCount(int(lines.size()));
    for (int row = 0; row < int(lines.size()); ++row) {
        statsTable_->setItem(row, 0, new QTableWidgetItem(ToQString(lines[size_t(row)].first)));
        statsTable_->setItem(row, 1, new QTableWidgetItem(ToQString(lines[size_t(row)].second)));
    }
    statsTable_->resizeColumnToContents(0);
    // Newest day first: the operator looks at the recent load.
    perDayTable_->setRowCount(int(statistics_.perDay.size()));
    for (int i = 0; i < int(statistics_.perDay.size()); ++i) {
        const alarms::DayCount& day = statistics_.perDay[statistics_.perDay.size() - 1 - size_t(i)];
        perDayTable_->setItem(i, 0, new QTableWidgetItem(ToQString(day.day)));
        auto* count = new QTableWidgetItem(QString::number(day.count));
        count->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        perDayTable_->setItem(i, 1, count);
    }
}

void CAlarmHistoryWnd::UpdateStatus() {
    export_->setEnabled(historyRequests_ == 0);
    if (IsLoading()) {
        status_->setText(Tr(texts::tpAlarmHistory_Loading));
        return;
    }
    status_->setText(QString::number(model_->rowCount()) + " " + Tr(texts::tpAlarmHistory_Alarms));
}

bool CAlarmHistoryWnd::ExportTo(const QString& path, QString* error) const {
    QFile file(path);
    const std::string csv = alarms::HistoryCsv(model_->Rows());
    // Written whole or reported: a half-written export must not pass for the history.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(csv.data(), qint64(csv.size())) != qint64(csv.size()) || !file.flush()) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    return true;
}

void CAlarmHistoryWnd::SetFileChooser(FileChooser chooser) {
    Chooser() = std::move(chooser);
}

void CAlarmHistoryWnd::Export() {
    const QString proposed = ToQString(GetUserDocsFolder()) + "AlarmHistory_" +
                             from_->date().toString("yyyy-MM-dd") + "_" +
                             to_->date().toString("yyyy-MM-dd") + ".csv";
    const QString path =
        Chooser() ? Chooser()(this, proposed)
                  : QFileDialog::getSaveFileName(this, Tr(texts::tpAlarmHistory_ExportCsv),
                                                 proposed, "CSV (*.csv)");
    if (path.isEmpty()) {
        return;
    }
    QString error;
    if (!ExportTo(path, &error)) {
        MessageBox::Show(this,
                         Translate(texts::tpAlarmHistory_ExportFailed) + " " + path.toStdString() +
                             ": " + error.toStdString(),
                         {MsgButtons::kOk, MsgIcon::kError});
        return;
    }
    status_->setText(Tr(texts::tpAlarmHistory_Exported) + " " + path);
}

}  // namespace zm

#include "ui/devicelist/DeviceListModel.h"

#include <QColor>

#include "app/StatusLevel.h"
#include "ui/devicelist/StatusIcons.h"

namespace zm {

namespace {

QColor FromColorRef(uint32_t color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

}  // namespace

CDeviceListModel::CDeviceListModel(QObject* parent) : QAbstractTableModel(parent) {}

int CDeviceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int CDeviceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kDevListColumns;
}

QVariant CDeviceListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const DeviceRow& row = rows_[size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return QString::fromStdString(row.cells[size_t(index.column())]);
        case Qt::ToolTipRole: {
            // Tool tips would take text that looks like markup as markup: escape it.
            QString text = QString::fromStdString(row.cells[size_t(index.column())]);
            if (text.isEmpty()) {
                return {};
            }
            return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
        }
        case Qt::ForegroundRole:
            return FromColorRef(row.color);
        case Qt::DecorationRole:
            if (index.column() == kColSensor) {
                return row.suppression != 0 ? SuppressedDeviceIcon(row.suppression == 2)
                                            : DeviceStatusIcon(row.status);
            }
            return {};
        case Qt::AccessibleDescriptionRole:
            // The status image's meaning, for those who cannot see it (and for tests
            // that read the list from outside).
            if (index.column() == kColSensor) {
                static const char* const kSuppressed[] = {"", "Shelved", "OutOfService"};
                return QString::fromLatin1(row.suppression == 1 || row.suppression == 2
                                               ? kSuppressed[row.suppression]
                                               : GetStatusLevel(row.status).icon);
            }
            return {};
        case kStatusRole:
            return row.status;
        default:
            return {};
    }
}

QVariant CDeviceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kDevListColumns) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (role == Qt::DisplayRole) {
        return QString::fromStdString(DevListColumnText(section));
    }
    return {};
}

Qt::ItemFlags CDeviceListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == kColSensor) {
        f |= Qt::ItemIsEditable;  // renamed in place
    }
    return f;
}

bool CDeviceListModel::UpdateRow(int row, DeviceRow&& value) {
    DeviceRow& old = rows_[size_t(row)];
    bool textChanged = false;
    int first = -1;
    int last = -1;
    for (int c = 0; c < kDevListColumns; ++c) {
        if (old.cells[size_t(c)] != value.cells[size_t(c)]) {
            textChanged = true;
            first = first < 0 ? c : first;
            last = c;
        }
    }
    bool colorChanged = old.color != value.color;
    bool statusChanged = old.status != value.status || old.suppression != value.suppression;
    if (colorChanged) {
        first = 0;
        last = kDevListColumns - 1;
    } else if (statusChanged) {
        first = 0;
        last = std::max(last, 0);
    }
    old = std::move(value);
    if (first >= 0) {
        emit dataChanged(index(row, first), index(row, last));
    }
    return textChanged;
}

bool CDeviceListModel::SetRows(std::vector<DeviceRow> rows) {
    bool textChanged = false;
    const int oldCount = int(rows_.size());
    const int newCount = int(rows.size());
    if (newCount < oldCount) {
        beginRemoveRows({}, newCount, oldCount - 1);
        rows_.resize(size_t(newCount));
        endRemoveRows();
        textChanged = true;
    }
    for (int r = 0; r < std::min(oldCount, newCount); ++r) {
        textChanged = UpdateRow(r, std::move(rows[size_t(r)])) || textChanged;
    }
    if (newCount > oldCount) {
        beginInsertRows({}, oldCount, newCount - 1);
        for (int r = oldCount; r < newCount; ++r) {
            rows_.push_back(std::move(rows[size_t(r)]));
        }
        endInsertRows();
        textChanged = true;
    }
    return textChanged;
}

void CDeviceListModel::ResetRows(std::vector<DeviceRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

bool CDeviceListModel::SetRow(int row, DeviceRow value) {
    if (row < 0 || row >= int(rows_.size())) {
        return false;
    }
    return UpdateRow(row, std::move(value));
}

void CDeviceListModel::Retranslate() {
    emit headerDataChanged(Qt::Horizontal, 0, kDevListColumns - 1);
}

}  // namespace zm

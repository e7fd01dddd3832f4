#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "ui/devicelist/DeviceRow.h"

namespace zm {

// The device list's rows as a table: one row per device in device-list order, nine
// columns (the view hides the advanced-only ones). Texts are plain; the row's text colour
// is the device's colour and column 0 carries the status image.
class CDeviceListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    static constexpr int kStatusRole = Qt::UserRole + 1;  // the row's status code

    explicit CDeviceListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Replaces the rows: rows are added or removed at the end as the count changes, and
    // only cells whose text, colour or status changed are reported. True when a text
    // changed (the view then fits its column widths).
    bool SetRows(std::vector<DeviceRow> rows);
    // Drops every row and inserts the new ones (the list's rebuild).
    void ResetRows(std::vector<DeviceRow> rows);
    // The same for one row.
    bool SetRow(int row, DeviceRow value);
    const DeviceRow& Row(int row) const { return rows_.at(row); }
    const std::vector<DeviceRow>& Rows() const { return rows_; }
    // Column titles after a language change.
    void Retranslate();

  private:
    bool UpdateRow(int row, DeviceRow&& value);

    std::vector<DeviceRow> rows_;
};

}  // namespace zm

#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include "base/MlsEntry.h"
#include "base/MlsPrgMsg.h"
#include "plot/model/PlotTypes.h"

// Conversions between the plot's Qt-free records and Qt, and its translated texts.
namespace zm::plotqt {

inline QColor ToQColor(PlotColor c) {
    return QColor(c.r, c.g, c.b);
}
inline PlotColor FromQColor(const QColor& c) {
    return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
            static_cast<uint8_t>(c.blue())};
}
// PlotRect's right and bottom lie one past the area, as QRect's width and height count.
inline QRect ToQRect(PlotRect r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}
inline PlotRect FromQRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

inline QString Tr(const CMlsEntry& entry) {
    return QString::fromStdString(Translate(entry));
}
// Tool-tip texts are stored as status text, line feed, tip: the tip is after the last LF.
inline QString TipOf(const CMlsEntry& entry) {
    QString text = Tr(entry);
    return text.mid(text.lastIndexOf(QLatin1Char('\n')) + 1);
}

}  // namespace zm::plotqt

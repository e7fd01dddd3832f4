#include "ui/bridge/QtText.h"

#include <QByteArray>

#include "base/MlsPrgMsg.h"

namespace zm {

QString ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToStdString(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString Tr(const CMlsEntry& entry) {
    return ToQString(Translate(entry));
}

QString Tr(const CMlsEntry& entry, const char* section) {
    return ToQString(Translate(entry, section));
}

}  // namespace zm

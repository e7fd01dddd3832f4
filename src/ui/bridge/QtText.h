#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "base/MlsEntry.h"

namespace zm {

// The engine's texts are UTF-8 std::string; Qt's are QString.
QString ToQString(std::string_view utf8);
std::string ToStdString(const QString& text);

// The translated text of an entry, in its own section or the one named.
QString Tr(const CMlsEntry& entry);
QString Tr(const CMlsEntry& entry, const char* section);

}  // namespace zm

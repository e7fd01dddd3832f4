#include "ui/common/Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "base/Ini.h"

namespace zm {

WindowPlacement PlacementOf(const QWidget& window) {
    QRect rect = window.normalGeometry();
    if (!rect.isValid()) {
        rect = window.geometry();
    }
    WindowPlacement placement;
    placement.showCmd = window.isMaximized()   ? WindowPlacement::kShowMaximized
                        : window.isMinimized() ? WindowPlacement::kShowMinimized
                                               : WindowPlacement::kShowNormal;
    placement.left = rect.left();
    placement.top = rect.top();
    placement.right = rect.left() + rect.width();
    placement.bottom = rect.top() + rect.height();
    return placement;
}

bool PlacementFits(const WindowPlacement& placement) {
    if (placement.length != WindowPlacement::kSize || placement.right <= placement.left ||
        placement.bottom <= placement.top) {
        return false;
    }
    const QRect rect = PlacementRect(placement);
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(rect)) {
            return true;
        }
    }
    return false;
}

WindowPlacement CentredPlacement(int width, int height) {
    QRect area(0, 0, ManagerSettings::kAssumedScreenWidth, ManagerSettings::kAssumedScreenHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    width = std::min(width, area.width());
    height = std::min(height, area.height());
    WindowPlacement placement;
    placement.left = area.left() + (area.width() - width) / 2;
    placement.top = area.top() + (area.height() - height) / 2;
    placement.right = placement.left + width;
    placement.bottom = placement.top + height;
    return placement;
}

WindowPlacement ReadPlacement(const CIni& settings, const std::string& section,
                              const std::string& key, const WindowPlacement& fallback) {
    if (settings.GetDataBlock(section, key, nullptr, 0) != WindowPlacement::kSize) {
        return fallback;
    }
    std::uint8_t bytes[WindowPlacement::kSize] = {};
    if (settings.GetDataBlock(section, key, bytes, WindowPlacement::kSize) !=
        WindowPlacement::kSize) {
        return fallback;
    }
    const WindowPlacement placement = WindowPlacement::FromBytes(bytes);
    return PlacementFits(placement) ? placement : fallback;
}

bool WritePlacement(CIni& settings, const std::string& section, const std::string& key,
                    const WindowPlacement& placement) {
    const auto bytes = placement.ToBytes();
    return settings.WriteDataBlock(section, key, bytes.data(), static_cast<int>(bytes.size()));
}

void ApplyPlacement(QWidget& window, const WindowPlacement& placement) {
    window.setGeometry(PlacementRect(placement));
}

}  // namespace zm

#pragma once

#include <QRect>
#include <string>

#include "app/ManagerSettings.h"

class QWidget;

namespace zm {

class CIni;

// Window placements as the settings file keeps them (the 44-byte block of "wp"). The
// rectangle is the window's client geometry in screen coordinates, so that a placement
// read back gives the same window whatever the window manager's frame is.

// The window's placement now (its normal geometry when it is maximised or minimised).
WindowPlacement PlacementOf(const QWidget& window);

// A placement whose rectangle is empty or lies on no screen does not fit.
bool PlacementFits(const WindowPlacement& placement);

// A normal window of the given size centred on the primary screen's free area.
WindowPlacement CentredPlacement(int width, int height);

// Reads the block; a missing, malformed or unfitting block gives the fallback.
WindowPlacement ReadPlacement(const CIni& settings, const std::string& section,
                              const std::string& key, const WindowPlacement& fallback);
bool WritePlacement(CIni& settings, const std::string& section, const std::string& key,
                    const WindowPlacement& placement);

// Moves and sizes the window (its show state is the caller's: ShowCmd tells it).
void ApplyPlacement(QWidget& window, const WindowPlacement& placement);

inline QRect PlacementRect(const WindowPlacement& placement) {
    return QRect(QPoint(placement.left, placement.top),
                 QPoint(placement.right - 1, placement.bottom - 1));
}

}  // namespace zm

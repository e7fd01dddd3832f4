#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>

namespace zm {

// The application's icon, drawn by our own code at any size: a sensor mast over a sea
// with a fluorescent slick under its beam. The same drawing gives the window icon, the
// About box's enlarged picture and resources/icons/zormanager.png.
QImage DrawAppIcon(const QSize& size);
QIcon AppIcon();

}  // namespace zm

#pragma once

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <functional>

#include "plot/model/Plot2dBufSettings.h"

class QMenu;
class QPainter;
class QWidget;

namespace zm {

// Off-screen picture of the plot area, sized for the screen's device pixel ratio, with the
// tips and pointer settings it draws with and their two menus.
class CPlot2dBuf {
  public:
    explicit CPlot2dBuf(CPlot2dBufSettings& settings) : settings_(settings) {}

    CPlot2dBufSettings& Settings() { return settings_; }
    const CPlot2dBufSettings& Settings() const { return settings_; }

    // Makes the buffer cover `size` logical pixels at `ratio`; true when it was (re)made,
    // i.e. the picture is stale.
    bool Resize(QSize size, qreal ratio);
    QImage& Back() { return back_; }
    // The saved picture onto the screen.
    void Copy(QPainter& screen) const;

    // The tips font is shared by all buffers.
    static QFont& TipsFont();
    // The tips box with the text (lines split at LF) in `area`, next to `mouse` or in the
    // chosen corner.
    void DrawTips(QPainter& p, const QString& text, QPoint mouse, const QRect& area) const;
    void DrawPointer(QPainter& p, QPoint point, const QRect& area) const;

    // A command of the two menus; the font command opens the font dialog over `owner`.
    void Execute(BufCommand command, QWidget* owner);
    // "Tips' commands" and "Pointer commands", with every action named by its command.
    // The commands repaint `owner` (and the font dialog opens over it); `changed` runs
    // after each command.
    QMenu* CreateTipsMenu(QWidget* parent, QWidget* owner, std::function<void()> changed);
    QMenu* CreatePointerMenu(QWidget* parent, QWidget* owner, std::function<void()> changed);

  private:
    void AddCommand(QMenu* menu, const QString& text, BufCommand command, bool checkable,
                    QWidget* owner, const std::function<void()>& changed);

    CPlot2dBufSettings& settings_;
    QImage back_;
};

}  // namespace zm

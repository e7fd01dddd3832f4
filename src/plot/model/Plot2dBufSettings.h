#pragma once

#include <string>
#include <string_view>

#include "plot/model/PlotTypes.h"

namespace zm {

class CIni;

// Commands of the tips and pointer menus; the names are the registered command names.
enum class BufCommand {
    kTipsFont,   // "ID_2DBUF_TIPS_FONT"
    kTipsAllow,  // "ID_2DBUF_TIPS_ALLOW"
    kTipsMouse,  // "ID_2DBUF_TIPS_MOUSE"
    kTipsFixTL,  // "ID_2DBUF_TIPS_FIXTL"
    kTipsFixTR,  // "ID_2DBUF_TIPS_FIXTR"
    kTipsFixBL,  // "ID_2DBUF_TIPS_FIXBL"
    kTipsFixBR,  // "ID_2DBUF_TIPS_FIXBR"
    kPntrAllow,  // "ID_2DBUF_PNTR_ALLOW"
    kPntrCross,  // "ID_2DBUF_PNTR_CROSS"
    kPntrPoint,  // "ID_2DBUF_PNTR_POINT"
    kPntrRect,   // "ID_2DBUF_PNTR_RECT"
};
const char* BufCommandName(BufCommand command);

// The tips and pointer settings that a drawing buffer carries, with their persistent text.
class CPlot2dBufSettings {
  public:
    enum TipsPosition { kFollowMouse = 0, kTopLeft, kTopRight, kBottomLeft, kBottomRight };
    enum PointerShape { kCross = 1, kCircle = 2, kRect = 4 };

    static constexpr const char* kKey = "CPlot2dBuf";
    static constexpr const char* kDefaultText = "1;1;2;3";

    int m_ScreenTips = 1;
    int m_ScreenPntr = 1;
    int m_TipsPosits = kTopRight;
    int m_PntrShapes = kCross | kCircle;

    std::string GetText() const;
    // True when all four numbers were read and make sense; otherwise nothing changes.
    bool SetText(std::string_view text);
    bool ApplyDefaultText() { return SetText(kDefaultText); }

    // The font command is the widget's own; every other command changes a setting here.
    void Apply(BufCommand command);
    // Checked state of a command's menu item.
    bool IsChecked(BufCommand command) const;

    bool Save(std::string_view section, CIni* ini = nullptr) const;
    bool Load(std::string_view section, CIni* ini = nullptr);
};

// Where a tips box of the given size sits in the area: in the chosen corner, or next to
// the mouse, moved back by half its size where it would leave the area.
PlotRect PlaceTipsBox(int position, PlotRect area, PlotPoint mouse, int width, int height);

}  // namespace zm

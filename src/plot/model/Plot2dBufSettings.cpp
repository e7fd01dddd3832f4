#include "plot/model/Plot2dBufSettings.h"

#include <algorithm>
#include <cstdio>

#include "base/Ini.h"
#include "base/Printf.h"

namespace zm {

const char* BufCommandName(BufCommand command) {
    switch (command) {
        case BufCommand::kTipsFont:
            return "ID_2DBUF_TIPS_FONT";
        case BufCommand::kTipsAllow:
            return "ID_2DBUF_TIPS_ALLOW";
        case BufCommand::kTipsMouse:
            return "ID_2DBUF_TIPS_MOUSE";
        case BufCommand::kTipsFixTL:
            return "ID_2DBUF_TIPS_FIXTL";
        case BufCommand::kTipsFixTR:
            return "ID_2DBUF_TIPS_FIXTR";
        case BufCommand::kTipsFixBL:
            return "ID_2DBUF_TIPS_FIXBL";
        case BufCommand::kTipsFixBR:
            return "ID_2DBUF_TIPS_FIXBR";
        case BufCommand::kPntrAllow:
            return "ID_2DBUF_PNTR_ALLOW";
        case BufCommand::kPntrCross:
            return "ID_2DBUF_PNTR_CROSS";
        case BufCommand::kPntrPoint:
            return "ID_2DBUF_PNTR_POINT";
        case BufCommand::kPntrRect:
            return "ID_2DBUF_PNTR_RECT";
    }
    return "";
}

std::string CPlot2dBufSettings::GetText() const {
    return StrPrintf("%d;%d;%d;%d", m_ScreenTips, m_ScreenPntr, m_TipsPosits, m_PntrShapes);
}

bool CPlot2dBufSettings::SetText(std::string_view text) {
    std::string copy(text);
    int v[4] = {};
    if (std::sscanf(copy.c_str(), "%d;%d;%d;%d", &v[0], &v[1], &v[2], &v[3]) != 4) {
        return false;
    }
    // A corner that does not exist or both filled shapes at once cannot be shown.
    bool bothFilled = (v[3] & kCircle) && (v[3] & kRect);
    if (v[2] < kFollowMouse || v[2] > kBottomRight || v[3] < 0 || v[3] > 7 || bothFilled) {
        return false;
    }
    m_ScreenTips = v[0] != 0;
    m_ScreenPntr = v[1] != 0;
    m_TipsPosits = v[2];
    m_PntrShapes = v[3];
    return true;
}

void CPlot2dBufSettings::Apply(BufCommand command) {
    switch (command) {
        case BufCommand::kTipsFont:
            break;
        case BufCommand::kTipsAllow:
            m_ScreenTips = !m_ScreenTips;
            break;
        case BufCommand::kTipsMouse:
            m_TipsPosits = kFollowMouse;
            break;
        case BufCommand::kTipsFixTL:
            m_TipsPosits = kTopLeft;
            break;
        case BufCommand::kTipsFixTR:
            m_TipsPosits = kTopRight;
            break;
        case BufCommand::kTipsFixBL:
            m_TipsPosits = kBottomLeft;
            break;
        case BufCommand::kTipsFixBR:
            m_TipsPosits = kBottomRight;
            break;
        case BufCommand::kPntrAllow:
            m_ScreenPntr = !m_ScreenPntr;
            break;
        case BufCommand::kPntrCross:
            m_PntrShapes ^= kCross;
            break;
        case BufCommand::kPntrPoint:
            m_PntrShapes = (m_PntrShapes ^ kCircle) & ~kRect;
            break;
        case BufCommand::kPntrRect:
            m_PntrShapes = (m_PntrShapes ^ kRect) & ~kCircle;
            break;
    }
}

bool CPlot2dBufSettings::IsChecked(BufCommand command) const {
    switch (command) {
        case BufCommand::kTipsFont:
            return false;
        case BufCommand::kTipsAllow:
            return m_ScreenTips != 0;
        case BufCommand::kTipsMouse:
            return m_TipsPosits == kFollowMouse;
        case BufCommand::kTipsFixTL:
            return m_TipsPosits == kTopLeft;
        case BufCommand::kTipsFixTR:
            return m_TipsPosits == kTopRight;
        case BufCommand::kTipsFixBL:
            return m_TipsPosits == kBottomLeft;
        case BufCommand::kTipsFixBR:
            return m_TipsPosits == kBottomRight;
        case BufCommand::kPntrAllow:
            return m_ScreenPntr != 0;
        case BufCommand::kPntrCross:
            return (m_PntrShapes & kCross) != 0;
        case BufCommand::kPntrPoint:
            return (m_PntrShapes & kCircle) != 0;
        case BufCommand::kPntrRect:
            return (m_PntrShapes & kRect) != 0;
    }
    return false;
}

bool CPlot2dBufSettings::Save(std::string_view section, CIni* ini) const {
    CIni holder;
    return PlotProfile(ini, holder).WriteString(section, kKey, GetText());
}

bool CPlot2dBufSettings::Load(std::string_view section, CIni* ini) {
    CIni holder;
    return SetText(PlotProfile(ini, holder).GetString(section, kKey, GetText()));
}

PlotRect PlaceTipsBox(int position, PlotRect area, PlotPoint mouse, int width, int height) {
    int left = 0;
    int top = 0;
    switch (position) {
        case CPlot2dBufSettings::kTopLeft:
            left = area.left;
            top = area.top;
            break;
        case CPlot2dBufSettings::kTopRight:
            left = area.right - width;
            top = area.top;
            break;
        case CPlot2dBufSettings::kBottomLeft:
            left = area.left;
            top = area.bottom - height;
            break;
        case CPlot2dBufSettings::kBottomRight:
            left = area.right - width;
            top = area.bottom - height;
            break;
        default:
            left = mouse.x;
            top = mouse.y;
            if (left + width > area.right) {
                left -= width / 2;
            }
            if (top + height > area.bottom) {
                top -= height / 2;
            }
            if (left + width > area.right) {
                left = area.right - width;
            }
            if (top + height > area.bottom) {
                top = area.bottom - height;
            }
            break;
    }
    left = std::max(left, area.left);
    top = std::max(top, area.top);
    return {left, top, left + width, top + height};
}

}  // namespace zm

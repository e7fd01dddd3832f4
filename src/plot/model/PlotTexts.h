#pragma once

#include <span>

#include "base/MlsEntry.h"

// The plot component's texts: the tool tips (status text, line feed, tip), captions and menus.
// They belong to section "Plot2dView" of the language files.
namespace zm::texts {

extern const CMlsEntry tpPlot2dView_ZoomInX;
extern const CMlsEntry tpPlot2dView_ZoomOutX;
extern const CMlsEntry tpPlot2dView_ZoomInY;
extern const CMlsEntry tpPlot2dView_ZoomOutY;
extern const CMlsEntry tpPlot2dView_Zoom1To1;
extern const CMlsEntry tpPlot2dView_ZoomFull;
extern const CMlsEntry tpPlot2dView_AutoScale;
extern const CMlsEntry tpPlot2dView_LockCursor;
extern const CMlsEntry tpPlot2dView_ShowCursor;
extern const CMlsEntry tpPlot2dView_ShowPoints;
extern const CMlsEntry tpPlot2dView_EditTip;
extern const CMlsEntry tpPlot2dView_XLeftTip;
extern const CMlsEntry tpPlot2dView_XRightTip;
extern const CMlsEntry tpPlot2dView_YBottomTip;
extern const CMlsEntry tpPlot2dView_YTopTip;
extern const CMlsEntry tpPlot2dView_XLeft;
extern const CMlsEntry tpPlot2dView_XRight;
extern const CMlsEntry tpPlot2dView_YBottom;
extern const CMlsEntry tpPlot2dView_YTop;
extern const CMlsEntry tpPlot2dView_NoData;
extern const CMlsEntry tpPlot2dView_EnableAutoScaling;
extern const CMlsEntry tpPlot2dView_ByAllSpecta;
extern const CMlsEntry tpPlot2dView_CurrentOnly;
extern const CMlsEntry tpPlot2dView_HybridMode;
extern const CMlsEntry tpPlot2dView_XScalingType;
extern const CMlsEntry tpPlot2dView_YScalingType;
extern const CMlsEntry tpPlot2dView_ScaleOff;
extern const CMlsEntry tpPlot2dView_Scale100;
extern const CMlsEntry tpPlot2dView_Scale105;
extern const CMlsEntry tpPlot2dView_ShowInfoPointer;
extern const CMlsEntry tpPlot2dView_TipsCommands;
extern const CMlsEntry tpPlot2dView_PointerCommands;
extern const CMlsEntry tpPlot2dView_AllowTips;
extern const CMlsEntry tpPlot2dView_TipsPosition;
extern const CMlsEntry tpPlot2dView_FollowMouse;
extern const CMlsEntry tpPlot2dView_TopLeft;
extern const CMlsEntry tpPlot2dView_TopRight;
extern const CMlsEntry tpPlot2dView_BottomLeft;
extern const CMlsEntry tpPlot2dView_BottomRight;
extern const CMlsEntry tpPlot2dView_TipsFont;
extern const CMlsEntry tpPlot2dView_AllowPointer;
extern const CMlsEntry tpPlot2dView_PointerShape;
extern const CMlsEntry tpPlot2dView_CrossedLines;
extern const CMlsEntry tpPlot2dView_FilledCircle;
extern const CMlsEntry tpPlot2dView_FilledRect;
extern const CMlsEntry tpPlot2dView_AccessibleName;

// Every entry of this file.
std::span<const CMlsEntry* const> PlotTexts();

}  // namespace zm::texts

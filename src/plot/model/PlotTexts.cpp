#include "plot/model/PlotTexts.h"

namespace zm::texts {

constinit const CMlsEntry tpPlot2dView_ZoomInX{
    "tpPlot2dView_ZoomInX", "Zoom in on X axis\nZoom in on X axis", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_ZoomOutX{
    "tpPlot2dView_ZoomOutX", "Zoom out on X axis\nZoom out on X axis", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_ZoomInY{
    "tpPlot2dView_ZoomInY", "Zoom in on Y axis\nZoom in on Y axis", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_ZoomOutY{
    "tpPlot2dView_ZoomOutY", "Zoom out on Y axis\nZoom out on Y axis", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_Zoom1To1{
    "tpPlot2dView_Zoom1To1", "Scale to fit whole spectrum\nScale to fit whole spectrum", true,
    "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_ZoomFull{
    "tpPlot2dView_ZoomFull", "Scale to whole plot bounds\nScale to whole plot bounds", true,
    "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_AutoScale{
    "tpPlot2dView_AutoScale", "Automatic scaling\nAutomatic scaling", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_LockCursor{"tpPlot2dView_LockCursor",
                                                  "Lock pointer with data\nLock pointer with data",
                                                  true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_ShowCursor{
    "tpPlot2dView_ShowCursor", "Show / Hide pointer info\nShow / Hide pointer info", true,
    "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_ShowPoints{"tpPlot2dView_ShowPoints",
                                                  "Draw as Points / Lines\nDraw as Points / Lines",
                                                  true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_EditTip{
    "tpPlot2dView_EditTip", ".\nEnter new limit or ESC to cancel", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_XLeftTip{
    "tpPlot2dView_XLeftTip", ".\nLeft bound (click to edit limit)", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_XRightTip{
    "tpPlot2dView_XRightTip", ".\nRight bound (click to edit limit)", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_YBottomTip{
    "tpPlot2dView_YBottomTip", ".\nBottom bound (click to edit limit)", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_YTopTip{
    "tpPlot2dView_YTopTip", ".\nTop bound (click to edit limit)", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_XLeft{"tpPlot2dView_XLeft", "X-Left", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_XRight{"tpPlot2dView_XRight", "X-Right", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_YBottom{"tpPlot2dView_YBottom", "Y-Bottom", true,
                                               "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_YTop{"tpPlot2dView_YTop", "Y-Top", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_NoData{"tpPlot2dView_NoData", "[ no data ]", true,
                                              "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_EnableAutoScaling{"tpPlot2dView_EnableAutoScaling",
                                                         "Enable auto-scaling", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_ByAllSpecta{"tpPlot2dView_ByAllSpecta", "By all specta",
                                                   true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_CurrentOnly{"tpPlot2dView_CurrentOnly", "Current only", true,
                                                   "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_HybridMode{"tpPlot2dView_HybridMode", "Hybrid mode", true,
                                                  "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_XScalingType{"tpPlot2dView_XScalingType", "X-Scaling type",
                                                    true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_YScalingType{"tpPlot2dView_YScalingType", "Y-Scaling type",
                                                    true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_ScaleOff{"tpPlot2dView_ScaleOff", "Off", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_Scale100{"tpPlot2dView_Scale100", "100%", true,
                                                "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_Scale105{"tpPlot2dView_Scale105", "105%", true,
                                                "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_ShowInfoPointer{"tpPlot2dView_ShowInfoPointer",
                                                       "Show info/pointer", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_TipsCommands{"tpPlot2dView_TipsCommands", "Tips' commands",
                                                    true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_PointerCommands{"tpPlot2dView_PointerCommands",
                                                       "Pointer commands", true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_AllowTips{"tpPlot2dView_AllowTips", "Allow Tips", true,
                                                 "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_TipsPosition{"tpPlot2dView_TipsPosition", "Tips' Positon",
                                                    true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_FollowMouse{"tpPlot2dView_FollowMouse", "Follow Mouse", true,
                                                   "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_TopLeft{"tpPlot2dView_TopLeft", "Top-Left", true,
                                               "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_TopRight{"tpPlot2dView_TopRight", "Top-Right", true,
                                                "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_BottomLeft{"tpPlot2dView_BottomLeft", "Bottom-Left", true,
                                                  "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_BottomRight{"tpPlot2dView_BottomRight", "Bottom-Right", true,
                                                   "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_TipsFont{"tpPlot2dView_TipsFont", "Tips' Font ...", true,
                                                "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_AllowPointer{"tpPlot2dView_AllowPointer", "Allow Pointer",
                                                    true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_PointerShape{"tpPlot2dView_PointerShape", "Pointer Shape",
                                                    true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_CrossedLines{"tpPlot2dView_CrossedLines", "Crossed lines",
                                                    true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_FilledCircle{"tpPlot2dView_FilledCircle", "Filled circle",
                                                    true, "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_FilledRect{"tpPlot2dView_FilledRect", "Filled rect", true,
                                                  "Plot2dView"};
constinit const CMlsEntry tpPlot2dView_AccessibleName{"tpPlot2dView_AccessibleName", "Trend plot",
                                                      true, "Plot2dView"};

std::span<const CMlsEntry* const> PlotTexts() {
    static const CMlsEntry* const entries[] = {
        &tpPlot2dView_ZoomInX,      &tpPlot2dView_ZoomOutX,        &tpPlot2dView_ZoomInY,
        &tpPlot2dView_ZoomOutY,     &tpPlot2dView_Zoom1To1,        &tpPlot2dView_ZoomFull,
        &tpPlot2dView_AutoScale,    &tpPlot2dView_LockCursor,      &tpPlot2dView_ShowCursor,
        &tpPlot2dView_ShowPoints,   &tpPlot2dView_EditTip,         &tpPlot2dView_XLeftTip,
        &tpPlot2dView_XRightTip,    &tpPlot2dView_YBottomTip,      &tpPlot2dView_YTopTip,
        &tpPlot2dView_XLeft,        &tpPlot2dView_XRight,          &tpPlot2dView_YBottom,
        &tpPlot2dView_YTop,         &tpPlot2dView_NoData,          &tpPlot2dView_EnableAutoScaling,
        &tpPlot2dView_ByAllSpecta,  &tpPlot2dView_CurrentOnly,     &tpPlot2dView_HybridMode,
        &tpPlot2dView_XScalingType, &tpPlot2dView_YScalingType,    &tpPlot2dView_ScaleOff,
        &tpPlot2dView_Scale100,     &tpPlot2dView_Scale105,        &tpPlot2dView_ShowInfoPointer,
        &tpPlot2dView_TipsCommands, &tpPlot2dView_PointerCommands, &tpPlot2dView_AllowTips,
        &tpPlot2dView_TipsPosition, &tpPlot2dView_FollowMouse,     &tpPlot2dView_TopLeft,
        &tpPlot2dView_TopRight,     &tpPlot2dView_BottomLeft,      &tpPlot2dView_BottomRight,
        &tpPlot2dView_TipsFont,     &tpPlot2dView_AllowPointer,    &tpPlot2dView_PointerShape,
        &tpPlot2dView_CrossedLines, &tpPlot2dView_FilledCircle,    &tpPlot2dView_FilledRect,
    };
    return entries;
}

}  // namespace zm::texts

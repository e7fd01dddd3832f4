#pragma once

#include <string>

namespace zm {

class CTavDevice;

// Controls of a device pane (the device's settings dialog) that the device fills.
inline constexpr int kPaneTrack = 5004;       // transcript, appended to and scrolled
inline constexpr int kPaneLastRmc = 5005;     // second text line
inline constexpr int kPaneStatusIcon = 5006;  // icon button: status image
inline constexpr int kPaneStatus = 5007;      // status text with link
inline constexpr int kPaneLinkError = 5011;   // link error text
inline constexpr int kPaneData = 5012;        // data text
inline constexpr int kPaneGpsTime = 5117;     // "GpsTime" answer
inline constexpr int kPaneLocalTime = 5118;   // local time of the refresh

// One refresh of a pane: which part it is and the texts of that part's controls.
struct DevicePaneTexts {
    enum class Part { State, Data, Track };
    Part part = Part::State;

    // State part.
    std::string sLinkError;  // 5011
    int nStatusIcon = 0;     // 5006: image index, see StatusIconIndex
    std::string sStatus;     // 5007

    // Data part.
    std::string sData;       // 5012
    std::string sLocalTime;  // 5118, "%Y/%m/%d ; %H:%M:%S"
    std::string sGpsTime;    // 5117

    // Track part.
    std::string sLastRmc;      // 5005: replaces the text
    std::string sTrackAppend;  // 5004: appended (it ends in CR LF), then scrolled to its end
};

// A window that shows one device. Refreshes come from the device's event thread; an
// implementation hands them to its own thread (posts) and must never wait for it.
class CDevicePane {
  public:
    virtual ~CDevicePane() = default;
    virtual void ShowDeviceTexts(CTavDevice& device, const DevicePaneTexts& texts) = 0;
};

}  // namespace zm

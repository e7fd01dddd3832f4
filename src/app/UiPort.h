#pragma once

#include <ctime>
#include <string>

#include "base/MessageSink.h"

namespace zm {

// One line of the alarm and connection-lost popups.
struct AlarmPopupEntry {
    std::string kind;  // "ALARM" or "CONNECTION LOST"
    int value = 0;
    std::time_t time = 0;  // local time of the event
    std::string deviceName;
    std::string position;    // "%.6lf°, %.6lf°"
    std::string reportPath;  // empty for a lost connection
};

// Everything the engine asks of a human. The GUI answers with windows, sound and dialogs;
// the headless server writes each request to the run log and answers questions with the
// safe default. Called on the dispatcher thread only (see Dispatcher), except Ask, which
// start-up also calls before the dispatcher runs.
class UiPort {
  public:
    virtual ~UiPort() = default;

    // A message box captioned with the product identifier (plus the suffix). Returns the
    // button pressed; whoever cannot ask returns safeAnswer, which must be one of the
    // buttons offered (SafeAnswer(type.buttons) when in doubt).
    virtual MsgResult Ask(const std::string& text, MessageBoxType type, MsgResult safeAnswer,
                          const std::string& captionSuffix = "") = 0;

    // Adds the entry to the alarm popup (created hidden on first use); with bringToFront
    // the popup is shown and brought to the front.
    virtual void ShowAlarm(const AlarmPopupEntry& entry, bool bringToFront) = 0;

    // Shows the connection-lost popup in front with the entry added.
    virtual void ShowConnectionLost(const AlarmPopupEntry& entry) = 0;

    // Removes the first connection-lost entry of the device; the popup closes when its
    // list is empty.
    virtual void ShowConnectionRestored(const std::string& deviceName) = 0;

    // Closes the alarm popup (the main window does it when it closes).
    virtual void CloseAlarmPopup() = 0;

    // The alarm sound: plays asynchronously until stopped; starting it while it plays
    // starts it anew.
    virtual void PlayAlarmSound() = 0;
    virtual void StopAlarmSound() = 0;

    // Opens a report or log file with the system's viewer.
    virtual void OpenReport(const std::string& path) = 0;
};

}  // namespace zm

#pragma once

#include <atomic>

#include "app/UiPort.h"

namespace zm {

// The operator's side of the headless server: nobody is there to see a window or hear a
// sound, so each request becomes a run-log entry, and each question is answered with its
// safe default (written to standard error as well, since a start-up question comes before
// the run log is open).
class HeadlessUiPort : public UiPort {
  public:
    MsgResult Ask(const std::string& text, MessageBoxType type, MsgResult safeAnswer,
                  const std::string& captionSuffix = "") override;
    void ShowAlarm(const AlarmPopupEntry& entry, bool bringToFront) override;
    void ShowConnectionLost(const AlarmPopupEntry& entry) override;
    void ShowConnectionRestored(const std::string& deviceName) override;
    void CloseAlarmPopup() override;
    void PlayAlarmSound() override;
    void StopAlarmSound() override;
    void OpenReport(const std::string& path) override;

    bool IsSoundPlaying() const { return soundPlaying_.load(); }

  private:
    std::atomic<bool> soundPlaying_{false};
    std::atomic<bool> alarmShown_{false};
};

// The name of an answer as a button caption ("Cancel", "Yes" ...).
const char* MsgResultName(MsgResult result);

}  // namespace zm

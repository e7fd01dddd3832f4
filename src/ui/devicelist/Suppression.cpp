#include "ui/devicelist/Suppression.h"

#include "base/DateTimeText.h"
#include "base/MlsPrgMsg.h"
#include "ui/alarms/LifecycleTexts.h"

namespace zm {

namespace {

// Characters as the operator counts them (UTF-8 code points), as the engine counts them.
std::size_t CodePoints(const std::string& text) {
    std::size_t count = 0;
    for (unsigned char c : text) {
        count += (c & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

}  // namespace

std::optional<int> ShelveMinutes(int choice, int customMinutes) {
    constexpr int kPresets = int(std::size(kShelvePresetMinutes));
    if (choice >= 0 && choice < kPresets) {
        return kShelvePresetMinutes[choice];
    }
    if (choice == kShelveCustomChoice) {
        return customMinutes;
    }
    return std::nullopt;
}

std::string TrimmedReason(const std::string& reason) {
    const char* blanks = " \t\r\n";
    const std::size_t first = reason.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return reason.substr(first, reason.find_last_not_of(blanks) - first + 1);
}

std::string ReasonError(const std::string& reason) {
    const std::string trimmed = TrimmedReason(reason);
    if (trimmed.empty()) {
        return Translate(texts::tpSuppressDlg_ReasonRequired);
    }
    if (CodePoints(trimmed) > alarms::kMaxReasonLength) {
        return Translate(texts::tpSuppressDlg_ReasonTooLong);
    }
    return {};
}

std::string ShelveInputError(const SuppressInput& input) {
    const std::optional<int> minutes = ShelveMinutes(input.choice, input.customMinutes);
    if (!minutes || *minutes < alarms::kMinShelveMinutes || *minutes > alarms::kMaxShelveMinutes) {
        return Translate(texts::tpSuppressDlg_MinutesOutOfRange);
    }
    return ReasonError(input.reason);
}

std::string SuppressedStatusText(const std::string& status,
                                 const alarms::DeviceSuppression& suppression) {
    using Kind = alarms::DeviceSuppression::Kind;
    if (suppression.kind == Kind::None) {
        return status;
    }
    std::string what;
    if (suppression.kind == Kind::Shelved) {
        // A shelving ends within a day: the time says when, the date only when it is not today.
        const std::time_t until = std::time_t(suppression.until);
        const bool today =
            LocalTimeText("%Y-%m-%d", until) == LocalTimeText("%Y-%m-%d", std::time(nullptr));
        what = Translate(texts::tpZorDevsView_ShelvedUntil) + " " +
               LocalTimeText(today ? "%H:%M" : "%Y-%m-%d %H:%M", until);
    } else {
        what = Translate(texts::tpZorDevsView_OutOfService);
    }
    if (!suppression.reason.empty()) {
        what += ": " + suppression.reason;
    }
    return status + " (" + what + ")";
}

}  // namespace zm

#include "app/ZorDevDlgRules.h"

#include "base/MlsPrgMsg.h"
#include "base/Printf.h"
#include "base/texts/DialogTexts.h"
#include "device/zor/ZorRecords.h"

namespace zm {

bool IsKnownDeviceType(const ZorContrType& type) {
    const int code = type.Major();
    return code == 1 || code >= 5;
}

std::string IdleTimeText(bool bRunningAndIdle, std::int64_t nSecondsSinceSample) {
    if (!bRunningAndIdle) {
        return "-";
    }
    const std::int64_t s = nSecondsSinceSample < 0 ? 0 : nSecondsSinceSample;
    if (s >= 24 * 3600) {
        return Translate(texts::tpZorDevDlg_24h);
    }
    const int hours = static_cast<int>(s / 3600);
    const int minutes = static_cast<int>(s / 60 % 60);
    const int seconds = static_cast<int>(s % 60);
    if (hours > 0) {
        return StrPrintf("%02d:%02d:%02d", hours, minutes, seconds);
    }
    return StrPrintf("%02d:%02d", minutes, seconds);
}

}  // namespace zm

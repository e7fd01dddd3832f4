#include "device/zor/ZorDataLog.h"

#include "base/MlsEntry.h"
#include "base/MlsPrgMsg.h"
#include "base/Printf.h"
#include "base/Version.h"
#include "base/texts/LogTexts.h"
#include "base/texts/ParamTexts.h"
#include "base/texts/ZorTexts.h"

namespace zm {

std::string ZorTranslateText(const ZorText& text) {
    return Translate(CMlsEntry(text.key, text.text, true, text.section), text.section);
}

std::string ZorPcParamsText(const ZorLogSnapshot& snapshot) {
    std::string out = StrPrintf("\r\n%s:\r\n", Translate(texts::tpPcParameters).c_str());
    out += StrPrintf("  %s: %s\r\n", Translate(texts::tpPcParams_SoftwareVersion).c_str(),
                     kProductVersion);
    out += StrPrintf("  %s: ", Translate(texts::tpPcParams_DeviceVersion).c_str());
    out += StrPrintf("  %s\r\n", snapshot.IsEmulation() ? Translate(texts::tpEmulation).c_str()
                                                        : snapshot.contrType.VersionText().c_str());
    out += StrPrintf("  %s: %s\r\n", Translate(texts::tpPcParams_LinkType).c_str(),
                     snapshot.linkType.c_str());
    out += StrPrintf("  %s: %d s\r\n", "Idle time", snapshot.pause);
    if (snapshot.linkType == "TCP/IP") {
        out += StrPrintf("  %s: %dms\r\n", "Timeout", snapshot.tcpTimeoutMs);
    } else if (snapshot.linkType == "COM") {
        out += StrPrintf("  %s: %dms\r\n", "Timeout", 1000);
    }
    out += "\r\n";
    return out;
}

bool CZorDataLog::Write(const ZorLogSnapshot& snapshot, bool repeatColumnLine) {
    std::vector<ZorDataRecord> records = SplitDataRecords(snapshot.batch);
    if (records.empty()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    const bool emulation = snapshot.IsEmulation();
    // Emulated devices have no sensor: their header and sensor columns show zeros.
    const ZorParams params = emulation ? ZorParams{} : snapshot.params;
    const ZorState state = emulation ? ZorState{} : snapshot.state;
    const std::string path = ZorDataLogPath(snapshot.logFolder, snapshot.deviceName,
                                            GetDeviceIdText(snapshot.params), snapshot.now);

    std::string text;
    if (!appender_.Exists(path)) {
        text = ZorPcParamsText(snapshot) +
               RenderParams(params, snapshot.deviceName, ZorTranslateText) + "\r\n" +
               Translate(texts::tp_LogHeader_1);
    } else if (repeatColumnLine) {
        text = Translate(texts::tp_LogHeader_1);
    }

    ZorBatchStats stats;
    const bool finite = ComputeBatchStats(records, stats);
    if (finite) {
        text += StrPrintf(
            "%s  \t%-12.0f\t%-12.0f\t%-12.0f\t%s\t%-12.0f\t%-12.0f\t%-12.2f\t%-12d\t%-14.1f\t%-14."
            "1f\t%-15.1f\t%-12.1f\t%-14.1f\t%-12.1f\t%-14.1f\t%-4d\r\n",
            ZorDataTimeText(snapshot.statusTime).c_str(), static_cast<double>(state.FluoBkg()),
            stats.meanSignal, stats.meanBackground,
            PadRight(ZorDeviceStatusText(snapshot.deviceStatus), 16).c_str(),
            static_cast<double>(params.MinSigThr()), static_cast<double>(params.MaxSigThr()),
            static_cast<double>(params.MaxBkgChange()), static_cast<int>(params.GetU8(134)),
            state.SeaLevel() * 0.1, state.Temperature() * 0.1, state.Pressure() * 0.1,
            stats.minSignal, stats.minBackground, stats.maxSignal, stats.maxBackground,
            stats.count);
    }
    if (text.empty()) {
        return false;
    }
    return appender_.Append(path, text) && finite;
}

}  // namespace zm

#include "device/zor/ZorDataLogFiles.h"

#include <chrono>
#include <cmath>

#include "base/DateTimeText.h"
#include "base/Log.h"
#include "base/MlsPrgMsg.h"
#include "base/Paths.h"
#include "base/Printf.h"
#include "base/TextFile.h"
#include "base/texts/DeviceTexts.h"

namespace zm {

namespace {

constexpr size_t kMaxNamePartBytes = 100;

bool IsBlank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

// A folder to put file names after: a blank one means none.
std::string UsableFolder(const std::string& folder) {
    if (IsBlank(folder)) {
        return {};
    }
    return folder.back() == '/' ? folder : folder + "/";
}

bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string ZorLogFolderOf(const std::string& deviceLogPath) {
    size_t slash = deviceLogPath.rfind('/');
    return slash == std::string::npos ? " " : deviceLogPath.substr(0, slash + 1);
}

std::string ZorFileNamePart(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        bool refused = u < 0x20 || u == 0x7F ||
                       std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos;
        out += refused ? '_' : c;
    }
    if (out.size() > kMaxNamePartBytes) {
        size_t cut = kMaxNamePartBytes;
        while (cut > 0 && IsUtf8Continuation(out[cut])) {
            --cut;
        }
        out.resize(cut);
    }
    if (!out.empty() && out.find_first_not_of('.') == std::string::npos) {
        out.assign(out.size(), '_');
    }
    return out;
}

std::string ZorDataLogPath(const std::string& logFolder, const std::string& deviceName,
                           const std::string& idText, std::time_t now) {
    std::string name = ZorFileNamePart(deviceName);
    return UsableFolder(logFolder) + name + "/DataLog_" + ZorFileNamePart(idText) + "_" + name +
           "_" + LocalTimeText("%Y-%m-%d.txt", now);
}

std::string ZorAlarmFolder(const std::string& logFolder) {
    return UsableFolder(logFolder) + "Alarms/";
}

std::string ZorAlarmLogPath(const std::string& logFolder, const std::string& idText,
                            const std::string& deviceName, std::time_t now) {
    return ZorAlarmFolder(logFolder) + "AlarmLog_" + ZorFileNamePart(idText) + "_" +
           ZorFileNamePart(deviceName) + "_" + LocalTimeText("%Y-%m.txt", now);
}

std::string ZorAlarmReportPath(const std::string& logFolder, const std::string& deviceName,
                               const std::string& idText, std::time_t now) {
    std::string name = ZorFileNamePart(deviceName);
    return ZorAlarmFolder(logFolder) + "Reports_" + name + "/AlarmReport_" +
           ZorFileNamePart(idText) + "_" + name + "_" + LocalTimeText("%Y-%m-%d_%H-%M-%S.txt", now);
}

std::string ZorDataTimeText(std::uint64_t fileTime) {
    auto seconds = std::chrono::floor<std::chrono::seconds>(TimeFromFileTime(fileTime));
    std::time_t t = static_cast<std::time_t>(seconds.time_since_epoch().count());
    std::tm parts{};
    if (!localtime_r(&t, &parts)) {
        return "00.00.0000\t00:00:00";
    }
    return StrPrintf("%02d%s%02d%s%04d\t%02d%s%02d%s%02d", parts.tm_mday, ".", parts.tm_mon + 1,
                     ".", parts.tm_year + 1900, parts.tm_hour, ":", parts.tm_min, ":",
                     parts.tm_sec);
}

std::string ZorDeviceStatusText(int deviceStatus) {
    using namespace texts;
    static const CMlsEntry* const kTexts[] = {
        &tpTavDevice_No_connection,  &tpTavDevice_Online_and_Ok,  &tpTavDevice_Monitoring_OFF,
        &tpTavDevice_Data_is_absent, &tpTavDevice_Emulation_mode, &tpTavDevice_Alarm_reported,
    };
    bool known = deviceStatus >= 0 && deviceStatus < static_cast<int>(std::size(kTexts));
    return Translate(known ? *kTexts[deviceStatus] : tpTavDevice_Unknown_status);
}

bool ComputeBatchStats(std::span<const ZorDataRecord> records, ZorBatchStats& stats) {
    stats = {};
    if (records.empty()) {
        return false;
    }
    double sumSignal = 0, sumBackground = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        double signal = records[i].signal, background = records[i].background;
        if (!std::isfinite(signal) || !std::isfinite(background)) {
            return false;
        }
        sumSignal += signal;
        sumBackground += background;
        if (i == 0) {
            stats.minSignal = stats.maxSignal = signal;
            stats.minBackground = stats.maxBackground = background;
            continue;
        }
        stats.minSignal = std::min(stats.minSignal, signal);
        stats.maxSignal = std::max(stats.maxSignal, signal);
        stats.minBackground = std::min(stats.minBackground, background);
        stats.maxBackground = std::max(stats.maxBackground, background);
    }
    stats.count = static_cast<int>(records.size());
    stats.meanSignal = sumSignal / stats.count;
    stats.meanBackground = sumBackground / stats.count;
    return true;
}

std::string PadRight(std::string_view text, size_t width) {
    size_t characters = 0;
    for (char c : text) {
        characters += IsUtf8Continuation(c) ? 0 : 1;
    }
    std::string out(text);
    if (characters < width) {
        out.append(width - characters, ' ');
    }
    return out;
}

// ---- appender ----

bool CZorLogAppender::Exists(const std::string& path) const {
    // Only text that really waits counts: a file whose first text was lost to the cap
    // must still get its header when it is written at last.
    return queued_.contains(path) || FileExists(path);
}

bool CZorLogAppender::Append(const std::string& path, std::string_view text) {
    Retry(path);
    auto it = queued_.find(path);
    if (it == queued_.end()) {
        if (AppendTextFile(path, text, false, TextAnsi)) {
            return true;
        }
        if (runLog_) {
            runLog_->AddError(
                "<li><dt> Cannot write the file %s; its text is kept and written with the next "
                "entry.</li>",
                HtmlEscaped(path).c_str());
        }
        std::string queued;
        if (Enqueue(queued, path, text)) {
            queued_.emplace(path, std::move(queued));
        }
        return false;
    }
    Enqueue(it->second, path, text);
    if (!Flush(path, it->second)) {
        return false;
    }
    queued_.erase(it);
    return true;
}

bool CZorLogAppender::Enqueue(std::string& queued, const std::string& path, std::string_view text) {
    if (queuedBytes_ + text.size() <= kMaxQueued) {
        queued += text;
        queuedBytes_ += text.size();
        return true;
    }
    if (!overflowReported_) {
        overflowReported_ = true;
        if (runLog_) {
            runLog_->AddError(
                "<li><dt> Text for the file %s was lost: more than %d bytes wait for files "
                "that cannot be written.</li>",
                HtmlEscaped(path).c_str(), static_cast<int>(kMaxQueued));
        }
    }
    return false;
}

bool CZorLogAppender::Flush(const std::string& path, std::string& queued) {
    if (!AppendTextFile(path, queued, false, TextAnsi)) {
        return false;
    }
    queuedBytes_ -= std::min(queuedBytes_, queued.size());
    queued.clear();
    if (queuedBytes_ == 0) {
        overflowReported_ = false;
    }
    if (runLog_) {
        runLog_->AddSuccess("<li><dt> The file %s is written again.</li>",
                            HtmlEscaped(path).c_str());
    }
    return true;
}

void CZorLogAppender::Retry(const std::string& except) {
    for (auto it = queued_.begin(); it != queued_.end();) {
        if (it->first != except && Flush(it->first, it->second)) {
            it = queued_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace zm

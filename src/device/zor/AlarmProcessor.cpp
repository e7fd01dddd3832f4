#include "device/zor/AlarmProcessor.h"

#include <algorithm>

#include "base/DateTimeText.h"
#include "base/MlsFormat.h"
#include "base/MlsPrgMsg.h"
#include "base/Printf.h"
#include "base/texts/LogTexts.h"

namespace zm {

// ---- report path ----

std::string CAlarmReportPath::GetOrAssign(const std::string& candidate) {
    std::lock_guard lock(mutex_);
    if (!assigned_) {
        path_ = candidate;
        assigned_ = true;
    }
    return path_;
}

void CAlarmReportPath::Assign(const std::string& path) {
    std::lock_guard lock(mutex_);
    path_ = path;
    assigned_ = true;
}

void CAlarmReportPath::Clear() {
    std::lock_guard lock(mutex_);
    assigned_ = false;
}

bool CAlarmReportPath::IsAssigned() const {
    std::lock_guard lock(mutex_);
    return assigned_;
}

std::string CAlarmReportPath::GetPath() const {
    std::lock_guard lock(mutex_);
    return path_;
}

// ---- processor ----

bool CAlarmProcessor::InAlarm() const {
    std::lock_guard lock(mutex_);
    return inAlarm_;
}

bool CAlarmProcessor::ConnectionLost() const {
    std::lock_guard lock(mutex_);
    return connectionLost_;
}

void CAlarmProcessor::AddToHistory(std::span<const ZorDataRecord> records) {
    for (const ZorDataRecord& record : records) {
        int slot = (historyFirst_ + kHistorySize - emptySlots_) % kHistorySize;
        history_[static_cast<size_t>(slot)] = {record.signal, record.background};
        if (emptySlots_ > 0) {
            --emptySlots_;
        } else {
            historyFirst_ = (historyFirst_ + 1) % kHistorySize;
        }
    }
}

std::string CAlarmProcessor::HistoryLines() const {
    std::string out;
    for (int i = 0; i < kHistorySize - emptySlots_; ++i) {
        const HistoryEntry& entry =
            history_[static_cast<size_t>((historyFirst_ + i) % kHistorySize)];
        out += StrPrintf("%-2d\t%-9.0f\t%-9.0f\r\n", i, static_cast<double>(entry.signal),
                         static_cast<double>(entry.background));
    }
    return out;
}

bool CAlarmProcessor::Write(const std::string& path, const std::string& text) {
    bool written = appender_.Append(path, text);
    ok_ = ok_ && written;
    return written;
}

bool CAlarmProcessor::Process(const ZorLogSnapshot& snapshot) {
    std::vector<ZorDataRecord> records = SplitDataRecords(snapshot.batch);
    if (records.empty()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    ok_ = true;
    const int status = snapshot.deviceStatus;
    const std::string idText = GetDeviceIdText(snapshot.params);
    const std::string& name = snapshot.deviceName;
    const bool emulation = snapshot.IsEmulation();
    const double lower = emulation ? 0.0 : static_cast<double>(snapshot.params.MinSigThr());
    const double upper = emulation ? 0.0 : static_cast<double>(snapshot.params.MaxSigThr());
    const std::string timeText = ZorDataTimeText(snapshot.statusTime);

    const std::string logPath = ZorAlarmLogPath(snapshot.logFolder, idText, name, snapshot.now);
    if (!appender_.Exists(logPath)) {
        Write(logPath, Translate(texts::tp_AlarmLogHeader_1));
    }

    ZorBatchStats stats;
    if (!ComputeBatchStats(records, stats)) {
        return false;
    }
    // State events hand in the batch of the last data event again; the history keeps
    // each measured record once.
    if (!seenBatch_ || snapshot.batchSerial != lastBatchSerial_ ||
        snapshot.statusTime != lastBatchTime_) {
        AddToHistory(records);
        seenBatch_ = true;
        lastBatchSerial_ = snapshot.batchSerial;
        lastBatchTime_ = snapshot.statusTime;
    }

    const bool lostStatus = status == 0 || status == 2 || status == 3;
    if (connectionLost_ && !lostStatus) {
        std::string recovered = MlsFormat(texts::tp_AlarmReportHeader_6, {timeText});
        connectionText_ += recovered;
        std::string text = "\r\n" + recovered + "\r\n";
        if (status == 5) {
            text += Translate(texts::tp_AlarmReportHeader_2);
        }
        Write(report_, text);
        connectionLost_ = false;
    }
    if (lostStatus && inAlarm_ && !connectionLost_) {
        connectionText_ = MlsFormat(texts::tp_AlarmReportHeader_5, {timeText});
        Write(report_, "\r\n" + connectionText_);
        connectionLost_ = true;
        return ok_;
    }

    if (status == 5 && !inAlarm_) {
        alarmLog_ = logPath;
        Write(logPath, StrPrintf("%s \t%s \t%-12.8f \t%-12.8f \t%s  ", PadRight(name, 12).c_str(),
                                 PadRight(idText, 12).c_str(), snapshot.latitude,
                                 snapshot.longitude, timeText.c_str()));
        startTime_ = snapshot.now;
        startText_ = timeText;
        inAlarm_ = true;
        report_ = reportPath_.GetOrAssign(
            ZorAlarmReportPath(snapshot.logFolder, name, idText, snapshot.now));
        Write(report_, MlsFormat(texts::tp_AlarmReportHeader_1,
                                 {LocalTimeText("%d.%B %Y, %H:%M:%S", snapshot.now), name, idText,
                                  snapshot.latitude, snapshot.longitude, lower, upper}) +
                           HistoryLines() + Translate(texts::tp_AlarmReportHeader_2));
    } else if (status == 5) {
        maxSignal_ = std::max(maxSignal_, stats.maxSignal);
        meanSum_ += stats.meanSignal;
        ++batchCount_;
        if (appender_.Exists(report_)) {
            Write(report_, StrPrintf("%-14.0f\t%-14.0f\t%-14.0f\t%-14.0f\t%-14.0f\t%-14.0f\r\n",
                                     stats.meanSignal, stats.meanBackground, stats.minSignal,
                                     stats.minBackground, stats.maxSignal, stats.maxBackground));
        }
    } else if (inAlarm_) {
        const std::int64_t duration = static_cast<std::int64_t>(snapshot.now) - startTime_;
        startTime_ = duration;
        const double mean = batchCount_ > 0 ? meanSum_ / batchCount_ : 0.0;
        // The entry's second half goes where its first half is, also after a month ended.
        Write(alarmLog_,
              StrPrintf("\t%s \t%-12.0f \t%-12.0f \t%-12.0f \t%-12.0f \t%-12.0f \t%s\r\n",
                        timeText.c_str(), maxSignal_, mean, lower, upper,
                        static_cast<double>(duration), connectionText_.c_str()));
        Write(report_, Translate(texts::tp_AlarmReportHeader_3));
        std::string closing;
        if (appender_.Exists(report_)) {
            closing = HistoryLines();
        }
        closing += MlsFormat(texts::tp_AlarmReportHeader_4,
                             {startText_, timeText, static_cast<double>(duration)});
        Write(report_, closing);
        meanSum_ = 0;
        maxSignal_ = 0;
        batchCount_ = 0;
        inAlarm_ = false;
        // A lost connection belongs to the alarm it interrupted.
        connectionLost_ = false;
        reportPath_.Clear();
        connectionText_.clear();
    }
    return ok_;
}

}  // namespace zm

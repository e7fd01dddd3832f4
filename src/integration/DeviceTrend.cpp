#include "integration/DeviceTrend.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "platform/FileIo.h"

namespace zm {

namespace {

// No gap shorter than this is claimed: a poll cycle with a slow converter is no outage.
constexpr std::int64_t kMinGapSeconds = 10;

std::int64_t MedianSpacing(const std::vector<ZorLogSample>& s, size_t first, size_t last) {
    std::vector<std::int64_t> d;
    // A sample of the spacings is enough to know the pace of the data.
    const size_t step = std::max<size_t>(1, (last - first) / 1000);
    for (size_t i = first + step; i < last; i += step)
        d.push_back((s[i].time - s[i - step].time) / static_cast<std::int64_t>(step));
    if (d.empty())
        return 1;
    std::nth_element(d.begin(), d.begin() + d.size() / 2, d.end());
    return std::max<std::int64_t>(1, d[d.size() / 2]);
}

}  // namespace

int LocalDate(std::int64_t utc) {
    std::time_t t = static_cast<std::time_t>(utc);
    std::tm tm{};
    localtime_r(&t, &tm);
    return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    const int fd = platform::OpenForRead(path);
    if (fd < 0)
        return false;
    const auto info = platform::FileInfoOf(fd);
    if (!info) {
        platform::CloseFile(fd);
        return false;
    }
    text.resize(static_cast<size_t>(std::max<std::int64_t>(info->size, 0)));
    size_t got = 0;
    while (got < text.size()) {
        const long n = platform::ReadFile(fd, text.data() + got, text.size() - got);
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    text.resize(got);  // a file being appended to is read as far as it was
    platform::CloseFile(fd);
    return true;
}

Trend BuildTrend(const std::vector<ZorLogSample>& samples, const TrendRequest& request) {
    Trend trend;
    const std::int64_t span = request.to - request.from + 1;
    const auto maxPoints = static_cast<std::int64_t>(std::max<size_t>(request.maxPoints, 1));
    trend.bucketSeconds = std::max<std::int64_t>(1, (span + maxPoints - 1) / maxPoints);
    const std::int64_t w = trend.bucketSeconds;
    const auto first =
        std::lower_bound(samples.begin(), samples.end(), request.from,
                         [](const ZorLogSample& s, std::int64_t t) { return s.time < t; }) -
        samples.begin();
    const auto last =
        std::upper_bound(samples.begin(), samples.end(), request.to,
                         [](std::int64_t t, const ZorLogSample& s) { return t < s.time; }) -
        samples.begin();
    const std::int64_t openEnd = std::min(request.to, std::max(request.now, request.from));
    if (first >= last) {
        if (openEnd > request.from)
            trend.gaps.push_back({request.from, openEnd});
        return trend;
    }
    // A gap spans at least two buckets, so that every break stands in a bucket of its own
    // and the points never outnumber the buckets.
    const std::int64_t gapAfter =
        std::max({2 * w + 1,
                  5 * MedianSpacing(samples, static_cast<size_t>(first), static_cast<size_t>(last)),
                  kMinGapSeconds});
    trend.samples = static_cast<size_t>(last - first);
    const ZorLogSample& newest = samples[static_cast<size_t>(last - 1)];
    trend.hasThresholds = true;
    trend.lowThreshold = newest.lowThreshold;
    trend.highThreshold = newest.highThreshold;

    auto addGap = [&](std::int64_t a, std::int64_t b) {
        trend.gaps.push_back({a, b});
        TrendPoint p;
        p.time = a;
        p.gap = true;
        trend.points.push_back(p);
    };
    if (samples[static_cast<size_t>(first)].time - request.from > gapAfter)
        addGap(request.from, samples[static_cast<size_t>(first)].time);
    std::int64_t bucket = -1;
    double sum = 0;
    size_t count = 0;
    TrendPoint point;
    auto flush = [&] {
        if (count > 0) {
            point.mean = static_cast<float>(sum / static_cast<double>(count));
            trend.points.push_back(point);
        }
        count = 0;
        sum = 0;
    };
    std::int64_t previous = samples[static_cast<size_t>(first)].time;
    for (auto i = first; i < last; ++i) {
        const ZorLogSample& s = samples[static_cast<size_t>(i)];
        if (s.time - previous > gapAfter) {
            flush();
            addGap(previous, s.time);
            bucket = -1;
        }
        const std::int64_t b = (s.time - request.from) / w;
        if (b != bucket) {
            flush();
            bucket = b;
            point = TrendPoint{};
            point.time = s.time;
            point.min = s.signalMin;
            point.max = s.signalMax;
        }
        point.min = std::min(point.min, s.signalMin);
        point.max = std::max(point.max, s.signalMax);
        sum += s.signal;
        ++count;
        previous = s.time;
    }
    flush();
    if (openEnd - previous > gapAfter)
        addGap(previous, openEnd);
    return trend;
}

std::string TrendJsonText(const std::string& name, const TrendRequest& request,
                          const Trend& trend) {
    using nlohmann::json;
    json time = json::array(), min = json::array(), max = json::array(), mean = json::array();
    for (const TrendPoint& p : trend.points) {
        time.push_back(p.time);
        if (p.gap) {
            min.push_back(nullptr);
            max.push_back(nullptr);
            mean.push_back(nullptr);
        } else {
            min.push_back(p.min);
            max.push_back(p.max);
            mean.push_back(p.mean);
        }
    }
    json gaps = json::array();
    for (const auto& [a, b] : trend.gaps)
        gaps.push_back({a, b});
    json thresholds = nullptr;
    if (trend.hasThresholds)
        thresholds = {{"low", trend.lowThreshold}, {"high", trend.highThreshold}};
    return json{{"name", name},
                {"from", request.from},
                {"to", request.to},
                {"max_points", request.maxPoints},
                {"bucket_seconds", trend.bucketSeconds},
                {"samples", trend.samples},
                {"thresholds", thresholds},
                {"time", time},
                {"min", min},
                {"max", max},
                {"mean", mean},
                {"gaps", gaps}}
        .dump(-1, ' ', false, json::error_handler_t::replace);
}

std::vector<ZorLogSample> CDeviceTrendReader::Minutes(const std::string& path) {
    const auto info = platform::FileInfoOf(path);
    if (!info)
        return {};
    const auto size = static_cast<std::uintmax_t>(info->size);
    const std::int64_t mtime = info->mtimeSec * 1000000000 + info->mtimeNsec;
    {
        std::lock_guard lock(mutex_);
        auto it = cache_.find(path);
        if (it != cache_.end() && it->second.size == size && it->second.mtime == mtime) {
            it->second.used = ++clock_;
            return it->second.minutes;
        }
    }
    // Parsed outside the lock: other charts need not wait for this file.
    std::string text;
    std::vector<ZorLogSample> raw, minutes;
    if (!ReadWholeFile(path, text))
        return {};
    ParseZorDataLog(text, raw);
    double sum = 0;
    size_t count = 0;
    for (const ZorLogSample& s : raw) {
        if (count > 0 && s.time / 60 != minutes.back().time / 60) {
            minutes.back().signal = static_cast<float>(sum / static_cast<double>(count));
            count = 0;
            sum = 0;
        }
        if (count == 0) {
            minutes.push_back(s);
        }
        ZorLogSample& m = minutes.back();
        m.signalMin = std::min(m.signalMin, s.signalMin);
        m.signalMax = std::max(m.signalMax, s.signalMax);
        m.lowThreshold = s.lowThreshold;
        m.highThreshold = s.highThreshold;
        sum += s.signal;
        ++count;
    }
    if (count > 0)
        minutes.back().signal = static_cast<float>(sum / static_cast<double>(count));
    std::lock_guard lock(mutex_);
    if (cache_.size() >= kMaxCachedFiles && cache_.find(path) == cache_.end()) {
        auto oldest = std::min_element(
            cache_.begin(), cache_.end(),
            [](const auto& a, const auto& b) { return a.second.used < b.second.used; });
        cache_.erase(oldest);
    }
    cache_[path] = Summary{size, mtime, minutes, ++clock_};
    return minutes;
}

Trend CDeviceTrendReader::Read(const std::string& logsFolder, const std::string& deviceName,
                               const TrendRequest& request) {
    const std::vector<ZorDataLogFile> files =
        FindZorDataLogs(logsFolder, deviceName, LocalDate(request.from), LocalDate(request.to));
    const std::int64_t span = request.to - request.from + 1;
    const bool byMinute =
        span / static_cast<std::int64_t>(std::max<size_t>(request.maxPoints, 1)) >= 60;
    std::vector<ZorLogSample> samples;
    std::string text;
    for (const ZorDataLogFile& file : files) {
        if (byMinute) {
            const std::vector<ZorLogSample> minutes = Minutes(file.path);
            samples.insert(samples.end(), minutes.begin(), minutes.end());
        } else if (ReadWholeFile(file.path, text)) {
            ParseZorDataLog(text, samples);
        }
    }
    // Two files of one day (a second month folder, a new identification text) interleave.
    if (!std::is_sorted(
            samples.begin(), samples.end(),
            [](const ZorLogSample& a, const ZorLogSample& b) { return a.time < b.time; }))
        std::stable_sort(
            samples.begin(), samples.end(),
            [](const ZorLogSample& a, const ZorLogSample& b) { return a.time < b.time; });
    return BuildTrend(samples, request);
}

}  // namespace zm

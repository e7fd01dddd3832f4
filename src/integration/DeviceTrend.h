#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "device/zor/ZorDataLogReader.h"

namespace zm {

// A device's signal between two moments, cut to at most a number of points for a chart:
// each point is one bucket of time with the smallest and largest signal in it (so that a
// short peak is never averaged away) and its mean. Where no data came for longer than a
// few buckets the trend has a gap, which a chart draws as a break.
struct TrendRequest {
    static constexpr size_t kDefaultMaxPoints = 2000;
    static constexpr size_t kMaxMaxPoints = 20000;
    static constexpr std::int64_t kMaxRange = 31 * 86400 + 3600;  // 31 days, and a DST hour

    std::int64_t from = 0;  // seconds since 1970, UTC, both ends included
    std::int64_t to = 0;
    size_t maxPoints = kDefaultMaxPoints;
    std::int64_t now = 0;  // no gap is claimed after this moment
};

struct TrendPoint {
    std::int64_t time = 0;  // of the bucket's first sample; of the gap's start for a gap
    float min = 0, max = 0, mean = 0;
    bool gap = false;  // the break of a gap: no values
};

struct Trend {
    std::int64_t bucketSeconds = 1;
    std::vector<TrendPoint> points;                           // in time order
    std::vector<std::pair<std::int64_t, std::int64_t>> gaps;  // [from, to] without data
    bool hasThresholds = false;  // the thresholds of the newest sample in the range
    float lowThreshold = 0, highThreshold = 0;
    size_t samples = 0;  // data lines in the range
};

// Samples in time order (as the logs hold them).
Trend BuildTrend(const std::vector<ZorLogSample>& samples, const TrendRequest& request);

// {"name", "from", "to", "max_points", "bucket_seconds", "samples", "thresholds": {"low",
// "high"} or null, "time", "min", "max", "mean" (one entry per point, null at a gap's
// break), "gaps": [[from, to], ...]}.
std::string TrendJsonText(const std::string& name, const TrendRequest& request, const Trend& trend);

// Reads the trend of a device from its daily data logs. Long ranges are read from a summary
// per minute that is kept for each file while the file does not change (size and time),
// so that a month of one-second portions is not parsed again for every chart; ranges whose
// buckets are shorter than a minute read the files' lines themselves. Safe from several
// threads.
class CDeviceTrendReader {
  public:
    static constexpr size_t kMaxCachedFiles = 1024;

    Trend Read(const std::string& logsFolder, const std::string& deviceName,
               const TrendRequest& request);

  private:
    struct Summary {
        std::uintmax_t size = 0;
        std::int64_t mtime = 0;
        std::vector<ZorLogSample> minutes;
        std::uint64_t used = 0;
    };
    // The per-minute samples of one file, from the cache or parsed now.
    std::vector<ZorLogSample> Minutes(const std::string& path);

    std::mutex mutex_;
    std::map<std::string, Summary> cache_;
    std::uint64_t clock_ = 0;
};

// Local calendar date (yyyymmdd) of a moment.
int LocalDate(std::int64_t utc);

// Reads a whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& text);

}  // namespace zm

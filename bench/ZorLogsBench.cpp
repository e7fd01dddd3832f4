// CPU time of what the application does for every data event of a ZOR device: one data
// log line and one alarm processor run, for a full batch of 64 records.
#include <benchmark/benchmark.h>

#include <ctime>

#include "device/zor/AlarmProcessor.h"
#include "device/zor/ZorDataLog.h"
#include "support/TempDir.h"

namespace {

zm::ZorLogSnapshot MakeSnapshot(const zm::test::TempDir& dir, int status) {
    zm::ZorLogSnapshot s;
    s.logFolder = dir.folder();
    s.deviceName = "Pier-2";
    s.linkType = "TCP/IP";
    s.pause = 10;
    s.tcpTimeoutMs = 3000;
    s.contrType.bytes = {5, 2, 0, 1};
    s.params = zm::DefaultZorParams("ZS-0042");
    s.deviceStatus = status;
    for (int i = 0; i < 64; ++i) {
        zm::AppendDataRecord(s.batch, 600.0f + static_cast<float>(i), 150.0f);
    }
    s.now = std::time(nullptr);
    return s;
}

// Status 1: data log line and the alarm log check. Status 5: the same plus the statistics
// line of the open alarm's report.
void BM_WriteDataLogAndProcessAlarm(benchmark::State& state) {
    zm::test::TempDir dir;
    zm::CZorDataLog dataLog;
    zm::CAlarmProcessor alarms;
    zm::ZorLogSnapshot snap = MakeSnapshot(dir, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ++snap.batchSerial;
        snap.statusTime += 10'000'000;
        benchmark::DoNotOptimize(dataLog.Write(snap, false));
        benchmark::DoNotOptimize(alarms.Process(snap));
    }
}
BENCHMARK(BM_WriteDataLogAndProcessAlarm)->Arg(1)->Arg(5)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

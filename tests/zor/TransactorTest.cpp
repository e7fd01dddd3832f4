// The transaction layer against the simulator, over loopback TCP and over its pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include "device/zor/ZorFrame.h"
#include "device/zor/ZorParams.h"
#include "device/zor/ZorRecords.h"
#include "support/TempDir.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using test::FdLink;
using test::SimProcess;
using test::TempDir;
using test::TestHost;
using Bytes = std::vector<uint8_t>;

std::vector<std::string> SimArgs(const TempDir& dir, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{
        "--tcp-port",
        "0",
        "--pty",
        "--log",
        dir.file("tx.log"),
        "--sensor",
        "addr=5,type=5.1.0.0,value=300,param.MinSigThr=321,pressure=101.3,"
        "temperature=-4.5,sealevel=12.3,fluobkg=2.5,devnum=HARBOUR-5",
        "--sensor",
        "addr=7,type=5.2.0.1,params=180,state=10,records=3,"
        "param.DistanceFromZorToSealevelInMm=1500,"
        "param.DistanceFromRangeFinderToSealevelInMm=700,pressure=99,"
        "source=list:100;600;20000",
        "--rangefinder",
        "4660"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

// Runs one command and returns the payload (empty on failure).
struct Exchange {
    bool ok = false;
    Bytes payload;
    std::string transcript;
};

Exchange RunCommand(CZorTransactor& t, uint8_t code) {
    Exchange e;
    e.ok = t.Transact(&e.transcript, "Cmd", code, {}, e.payload);
    return e;
}

class TransactOverSim : public testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        sim = std::make_unique<SimProcess>(SimArgs(dir));
        ASSERT_TRUE(sim->Ready());
        FdLink link = GetParam() ? FdLink::Tcp(sim->tcpPort) : FdLink::Serial(sim->ptyPath);
        host = std::make_unique<TestHost>(std::move(link), dir.folder());
        host->address = 5;
        transactor = std::make_unique<CZorTransactor>(*host);
        transactor->SetPauseBeforeExchangeMs(0);
    }

    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<TestHost> host;
    std::unique_ptr<CZorTransactor> transactor;
};

TEST_P(TransactOverSim, ReadsTypeParamsStateDataAndRange) {
    Exchange link = RunCommand(*transactor, kCmdCheckDevLink);
    ASSERT_TRUE(link.ok) << link.transcript;
    EXPECT_TRUE(link.payload.empty());
    const std::string sent = "\r\n7 bytes sent: {5,0,1,0,0,192,185}";
    EXPECT_NE(link.transcript.find("\r\nConnection ... succeeded" + sent), std::string::npos)
        << link.transcript;
    EXPECT_NE(link.transcript.find("\r\n7 bytes received: {0,5,1,0,0,"), std::string::npos);
    EXPECT_NE(link.transcript.find("\r\nConnection closed\r\nParse packet: [Ok, 7 bytes]: "),
              std::string::npos)
        << link.transcript;
    EXPECT_TRUE(
        std::regex_search(link.transcript, std::regex("^\r\n\\[\\d\\d:\\d\\d:\\d\\d\\] Cmd:")))
        << link.transcript;

    Exchange type = RunCommand(*transactor, kCmdGetContrType);
    ZorContrType contr;
    ASSERT_TRUE(type.ok && DecodeContrType(type.payload, contr)) << type.transcript;
    EXPECT_EQ(contr.VersionText(), "5.1.0.0");

    Exchange params = RunCommand(*transactor, kCmdGetDevParams);
    ASSERT_TRUE(params.ok) << params.transcript;
    ASSERT_EQ(params.payload.size(), 182u);
    ZorParams block;
    ASSERT_TRUE(DecodeDevParams(params.payload, block));
    EXPECT_EQ(block.MinSigThr(), 321.0f);
    EXPECT_EQ(block.Address(), 5);
    EXPECT_EQ(GetDeviceIdText(block), "HARBOUR-5");
    // A long answer is shortened in the transcript.
    EXPECT_NE(params.transcript.find("189 bytes received: {0,5,6,182,0,"), std::string::npos);

    ASSERT_EQ(sim->Control("set 5 alarm=1"), "OK");
    Exchange state = RunCommand(*transactor, kCmdGetDevState);
    ZorState rec;
    std::string line;
    ASSERT_TRUE(state.ok && DecodeDevState(state.payload, rec, &line)) << state.transcript;
    EXPECT_EQ(line, "\r\nParse state: [Ok, State: Alarm]");
    EXPECT_EQ(rec.Pressure(), 1013);
    EXPECT_EQ(rec.Temperature(), -45);
    EXPECT_EQ(rec.SeaLevel(), 123);
    EXPECT_EQ(rec.FluoBkg(), 2.5f);

    Exchange data = RunCommand(*transactor, kCmdGetDevDataPortion);
    ASSERT_TRUE(data.ok) << data.transcript;
    ZorDataPortion portion = EvaluateDataPortion(data.payload, 321, 10000, false, nullptr);
    EXPECT_EQ(portion.records, 5);
    EXPECT_EQ(portion.value, 300.0f);
    EXPECT_EQ(portion.dataStatus, 0);

    Exchange both = RunCommand(*transactor, kCmdGetDevStateData);
    Bytes dataBytes;
    ASSERT_TRUE(both.ok && DecodeDevStateData(both.payload, rec, dataBytes, nullptr));
    EXPECT_EQ(dataBytes.size(), 40u);

    Exchange range = RunCommand(*transactor, kCmdPingSenix);
    ZorRange distance;
    ASSERT_TRUE(range.ok && DecodeRangeFinder(range.payload, distance, nullptr))
        << range.transcript;
    EXPECT_EQ(distance.count, 4660);
    EXPECT_NE(range.transcript.find("8 bytes sent: {101,3,2,8,0,1,12,84}"), std::string::npos);
    EXPECT_EQ(host->successes, 7);
}

TEST_P(TransactOverSim, OlderControllerAnswersAreConverted) {
    host->address = 7;
    Exchange params = RunCommand(*transactor, kCmdGetDevParams);
    ASSERT_TRUE(params.ok) << params.transcript;
    ASSERT_EQ(params.payload.size(), 180u);
    ZorParams block;
    ASSERT_TRUE(DecodeDevParams(params.payload, block));
    EXPECT_EQ(block.GetI16(88), 1500);
    EXPECT_EQ(block.GetI16(90), 700);
    EXPECT_EQ(block.MinSigThr(), 500.0f);

    Exchange state = RunCommand(*transactor, kCmdGetDevState);
    ZorState rec;
    ASSERT_TRUE(state.ok && DecodeDevState(state.payload, rec, nullptr));
    EXPECT_EQ(state.payload.size(), 10u);
    EXPECT_EQ(rec.Pressure(), 990);

    // A list source gives one value per data answer.
    std::vector<float> values;
    for (int i = 0; i < 4; ++i) {
        Exchange data = RunCommand(*transactor, kCmdGetDevDataPortion);
        ASSERT_TRUE(data.ok);
        ZorDataPortion p = EvaluateDataPortion(data.payload, 500, 10000, false, nullptr);
        EXPECT_EQ(p.records, 3);
        values.push_back(p.value);
    }
    EXPECT_EQ(values, (std::vector<float>{100, 600, 20000, 20000}));
}

TEST_P(TransactOverSim, EveryFaultIsReportedAndTheNextExchangeRecovers) {
    host->Link().waitCapMs = 300;
    struct Case {
        const char* fault;
        const char* words;
        bool purged;
    };
    const bool tcp = GetParam();
    const Case cases[] = {
        {"drop", "GetResponse failed (code: ", false},
        {"crc", "Parse packet: [Error, 27 bytes]", false},
        {"truncate", "GetResponse failed (code: ", false},
        {"delay 1 800", "GetResponse failed (code: ", false},
        {"garbage", "Parse packet: [Error, 7 bytes]: Addr:170(=0?)", true},
        {"len600", "Parse packet: [Error, 7 bytes]", true},
        {"close", "GetResponse failed (code: ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_EQ(sim->Control(std::string("fault ") + c.fault), "OK");
        int purges = host->Link().purges;
        Exchange bad = RunCommand(*transactor, kCmdGetDevState);
        EXPECT_FALSE(bad.ok);
        EXPECT_TRUE(bad.payload.empty());
        EXPECT_NE(bad.transcript.find(c.words), std::string::npos) << bad.transcript;
        EXPECT_NE(bad.transcript.find("Connection closed"), std::string::npos);
        EXPECT_EQ(host->Link().purges > purges, c.purged);
        if (std::string(c.fault).rfind("delay", 0) == 0) {
            // Let the late reply arrive; closing (TCP) or purging on open (pty) discards it.
            std::this_thread::sleep_for(std::chrono::milliseconds(900));
        }
        Exchange good = RunCommand(*transactor, kCmdGetDevState);
        EXPECT_TRUE(good.ok) << good.transcript;
        EXPECT_EQ(good.payload.size(), 20u);
    }
    (void)tcp;
    EXPECT_EQ(sim->Control("stats").rfind("OK requests=14 ", 0), 0u);
}

// A line that sends one byte just inside each read's time-out must not hold the link and
// the channel for the length of the whole reply: the reply has one deadline.
TEST_P(TransactOverSim, TricklingReplyEndsAtItsDeadline) {
    ASSERT_EQ(sim->Control("fault trickle 1 300"), "OK");
    const auto start = std::chrono::steady_clock::now();
    Exchange slow = RunCommand(*transactor, kCmdCheckDevLink);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(slow.ok);
    // Seven bytes 300 ms apart take 1.8 s; the deadline is the 400 ms time-out plus the
    // wire time of seven bytes.
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_EQ(host->Link().purges, 1);
    EXPECT_TRUE(std::regex_search(slow.transcript, std::regex("\r\n[1-6] bytes received: \\{")))
        << slow.transcript;
    EXPECT_NE(slow.transcript.find("Parse packet: [Error, "), std::string::npos) << slow.transcript;
    EXPECT_NE(slow.transcript.find("Connection closed"), std::string::npos);
    EXPECT_EQ(transactor->FailedReads(), 0);
    // What was still on its way is gone before the next exchange (the pseudo-terminal has
    // no connection to close, so its last bytes are waited out).
    std::this_thread::sleep_for(std::chrono::milliseconds(GetParam() ? 0 : 2000));
    Exchange next = RunCommand(*transactor, kCmdGetDevState);
    EXPECT_TRUE(next.ok) << next.transcript;

    // A slow line gets the wire time of the reply it announced: 27 bytes 20 ms apart
    // outlast the time-out, but not the time they need at 1200 baud.
    host->Link().bitsPerSecond = 1200;
    ASSERT_EQ(sim->Control("fault trickle 1 20"), "OK");
    Exchange paced = RunCommand(*transactor, kCmdGetDevState);
    EXPECT_TRUE(paced.ok) << paced.transcript;
    EXPECT_EQ(paced.payload.size(), 20u);
}

TEST(ReplyDeadline, TimeOutPlusWireTimeOfTheAnnouncedLength) {
    struct Case {
        int timeoutMs, bytes, bitsPerSecond, expected;
    };
    const Case cases[] = {
        {2000, 519, 57600, 2000 + 100},  // 519 * 11 bits at 57600 bit/s: 99.1 ms
        {1000, 7, 57600, 1000 + 2},
        {1000, 519, 4800, 1000 + 1190},
        {2000, 519, 0, 2000 + 595},  // unknown speed: taken as 9600 bit/s
        {0, 27, 9600, 31},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CZorTransactor::ReplyDeadlineMs(c.timeoutMs, c.bytes, c.bitsPerSecond),
                  c.expected)
            << c.timeoutMs << " " << c.bytes << " " << c.bitsPerSecond;
    }
}

TEST_P(TransactOverSim, KeepLinkSwitchAndHexByteLists) {
    host->keepLink = true;
    host->hex = true;
    Exchange first = RunCommand(*transactor, kCmdCheckDevLink);
    Exchange second = RunCommand(*transactor, kCmdCheckDevLink);
    ASSERT_TRUE(first.ok && second.ok);
    EXPECT_NE(first.transcript.find("Connection ... succeeded"), std::string::npos);
    EXPECT_NE(first.transcript.find("Connection kept"), std::string::npos);
    EXPECT_NE(second.transcript.find("Connection ... already exist"), std::string::npos);
    EXPECT_NE(second.transcript.find("7 bytes sent: {0x05,00,01,00,00,C0,B9}"), std::string::npos)
        << second.transcript;
    EXPECT_EQ(transactor->LinksOpened(), 1);
    host->keepLink = false;
    Exchange third = RunCommand(*transactor, kCmdCheckDevLink);
    EXPECT_NE(third.transcript.find("Connection ... already exist"), std::string::npos);
    EXPECT_NE(third.transcript.find("Connection closed"), std::string::npos);
    EXPECT_FALSE(host->Link().IsOpen());
    RunCommand(*transactor, kCmdCheckDevLink);
    EXPECT_EQ(transactor->LinksOpened(), 2);
    EXPECT_EQ(transactor->OpenFailures(), 0);
}

TEST_P(TransactOverSim, FailedReadsChooseTheTimeout) {
    host->address = 42;  // nobody answers
    host->Link().waitCapMs = 5;
    std::vector<int> expected;
    for (int i = 1; i <= 62; ++i) {
        // Before read i the counter is i - 1 (it returns to 0 after the 61st failure).
        int counter = i <= 61 ? i - 1 : 0;
        expected.push_back(counter <= 0 ? 0 : counter <= 3 ? 1000 : 100);
        EXPECT_EQ(transactor->NextReadTimeoutMs(), expected.back()) << i;
        Exchange e = RunCommand(*transactor, kCmdGetDevState);
        ASSERT_FALSE(e.ok);
    }
    EXPECT_EQ(host->Link().timeouts, expected);
    EXPECT_EQ(transactor->FailedReads(), 1);

    // A successful read does not reset the counter.
    host->address = 5;
    host->Link().waitCapMs = 0;
    ASSERT_TRUE(RunCommand(*transactor, kCmdGetDevState).ok);
    EXPECT_EQ(transactor->FailedReads(), 1);
    EXPECT_EQ(transactor->NextReadTimeoutMs(), 1000);
}

TEST_P(TransactOverSim, BusyChannelFailsWithoutSending) {
    // Another device of another process holds the channel.
    TestHost other(GetParam() ? FdLink::Tcp(sim->tcpPort) : FdLink::Serial(sim->ptyPath),
                   dir.folder());
    ASSERT_TRUE(other.AcquireNamedLock(host->Link().GetName(true), 0));
    auto start = std::chrono::steady_clock::now();
    Exchange e = RunCommand(*transactor, kCmdCheckDevLink);
    auto waited = std::chrono::steady_clock::now() - start;
    other.ReleaseNamedLock();
    EXPECT_FALSE(e.ok);
    EXPECT_NE(e.transcript.find("\r\nConnection ... failed (in use)."), std::string::npos)
        << e.transcript;
    EXPECT_EQ(e.transcript.find("bytes sent"), std::string::npos);
    EXPECT_EQ(transactor->ChannelBusy(), 1);
    EXPECT_GE(waited, std::chrono::milliseconds(1150));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_EQ(sim->Control("stats").rfind("OK requests=0 ", 0), 0u);
    EXPECT_TRUE(RunCommand(*transactor, kCmdCheckDevLink).ok);
}

INSTANTIATE_TEST_SUITE_P(Transports, TransactOverSim, testing::Values(true, false),
                         [](const auto& param) { return param.param ? "Tcp" : "Pty"; });

// Which connection's requests and replies follow each other in the simulator's log.
struct LogEvent {
    int connection;
    bool request;
};
std::vector<LogEvent> Exchanges(const std::string& path) {
    std::vector<LogEvent> events;
    std::regex line(R"(^\S+ \S+ #(\d+) (REQ|REP) )");
    for (const std::string& text : test::ReadLines(path)) {
        std::smatch m;
        if (std::regex_search(text, m, line)) {
            events.push_back({std::stoi(m[1]), m[2] == "REQ"});
        }
    }
    return events;
}

// True when every request is followed by its own reply before anyone's next request.
bool NeverInterleaved(const std::vector<LogEvent>& events) {
    for (size_t i = 0; i + 1 < events.size(); i += 2) {
        if (!events[i].request || events[i + 1].request ||
            events[i].connection != events[i + 1].connection) {
            return false;
        }
    }
    return events.size() % 2 == 0;
}

void TwoMasters(const TempDir& dir, int port, bool shareLock, int rounds) {
    TempDir otherLocks;
    TestHost a(FdLink::Tcp(port), dir.folder());
    TestHost b(FdLink::Tcp(port), shareLock ? dir.folder() : otherLocks.folder());
    a.address = b.address = 5;
    a.keepLink = b.keepLink = true;  // two connections open at once, as two converters' clients
    CZorTransactor ta(a), tb(b);
    ta.SetPauseBeforeExchangeMs(0);
    tb.SetPauseBeforeExchangeMs(0);
    std::barrier start(2);
    auto work = [&](CZorTransactor& t) {
        start.arrive_and_wait();
        for (int i = 0; i < rounds; ++i) {
            Bytes payload;
            t.Transact(nullptr, "Cmd", kCmdGetDevState, {}, payload);
        }
    };
    std::thread first(work, std::ref(ta));
    std::thread second(work, std::ref(tb));
    first.join();
    second.join();
    EXPECT_EQ(a.successes + b.successes, 2 * rounds);
}

TEST(TransactChannelLock, TwoMastersOnOneBusTakeTurns) {
    TempDir dir;
    SimProcess sim(
        {"--tcp-port", "0", "--latency", "40", "--log", dir.file("tx.log"), "--sensor", "addr=5"});
    ASSERT_TRUE(sim.Ready());
    TwoMasters(dir, sim.tcpPort, true, 6);
    auto events = Exchanges(dir.file("tx.log"));
    EXPECT_EQ(events.size(), 24u);
    EXPECT_TRUE(NeverInterleaved(events));
}

TEST(TransactChannelLock, WithoutTheLockTheLogShowsInterleaving) {
    // The control case: it shows that the log would reveal two masters talking at once.
    TempDir dir;
    SimProcess sim(
        {"--tcp-port", "0", "--latency", "100", "--log", dir.file("tx.log"), "--sensor", "addr=5"});
    ASSERT_TRUE(sim.Ready());
    TwoMasters(dir, sim.tcpPort, false, 3);
    auto events = Exchanges(dir.file("tx.log"));
    EXPECT_EQ(events.size(), 12u);
    EXPECT_FALSE(NeverInterleaved(events));
}

TEST(SimFraming, SplitRequestsAndGarbageBeforeThemAreAnswered) {
    TempDir dir;
    SimProcess sim(SimArgs(dir));
    ASSERT_TRUE(sim.Ready());
    FdLink link = FdLink::Tcp(sim.tcpPort);
    ASSERT_TRUE(link.Open());
    Bytes request = BuildZorRequest(5, kCmdGetContrType);
    Bytes noise{0x00, 0xFF, 0x05, 0x07, 0x65, 0x03, 0x99};
    int sent = 0;
    ASSERT_TRUE(link.Write(noise.data(), static_cast<int>(noise.size()), &sent, 0));
    ASSERT_TRUE(link.Write(request.data(), 2, &sent, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(link.Write(request.data() + 2, 5, &sent, 0));
    uint8_t reply[64];
    int have = 0;
    while (have < 11) {
        int got = 0;
        ASSERT_TRUE(link.Read(reply + have, 64 - have, &got, 2000));
        have += got;
    }
    Bytes payload;
    ASSERT_TRUE(CheckZorResponse(Bytes(reply, reply + have), kCmdGetContrType, payload, nullptr));
    EXPECT_EQ(payload, (Bytes{5, 1, 0, 0}));

    // A request that stops half-way is dropped after a while; the next one is answered.
    ASSERT_TRUE(link.Write(request.data(), 4, &sent, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    request = BuildZorRequest(5, kCmdCheckDevLink);
    ASSERT_TRUE(link.Write(request.data(), 7, &sent, 0));
    have = 0;
    while (have < 7) {
        int got = 0;
        ASSERT_TRUE(link.Read(reply + have, 64 - have, &got, 3000));
        have += got;
    }
    EXPECT_TRUE(CheckZorResponse(Bytes(reply, reply + have), kCmdCheckDevLink, payload, nullptr));
}

TEST(SimControl, RejectsBadLinesAndOptions) {
    TempDir dir;
    SimProcess sim(SimArgs(dir));
    ASSERT_TRUE(sim.Ready());
    for (const char* line : {"set 5 alarm=2", "set 9 alarm=1", "set 5 param.Nope=1",
                             "set 5 param.DeviceAddress=300", "fault explode", "fault drop 0",
                             "rf -1", "set 5 records=99", "set 5 source=sine:1:2:0", "bogus"}) {
        EXPECT_EQ(sim.Control(line).rfind("ERR ", 0), 0u) << line;
    }
    EXPECT_EQ(sim.Control("add 010 type=6.0.0.0,statebyte.0=0x7F"), "OK");  // decimal 10
    EXPECT_NE(sim.Control("show").find("sensor addr=10 "), std::string::npos);
    EXPECT_EQ(sim.Control("add 9 type=6.0.0.0"), "OK");
    EXPECT_NE(sim.Control("show").find("sensor addr=9 type=6.0.0.0"), std::string::npos);
    EXPECT_EQ(sim.Control("remove 9"), "OK");
    // A clean stop (under the sanitizers this also checks the simulator for leaks).
    EXPECT_EQ(sim.Stop(), 0);

    SimProcess bad({"--tcp-port", "0", "--sensor", "addr=0"});
    EXPECT_FALSE(bad.Ready());
}

TEST(SimOptions, HelpConfigFileControlPortAndLineTime) {
    std::string help;
    {
        FILE* pipe = popen(ZM_ZOR_SIM " --help", "r");
        ASSERT_NE(pipe, nullptr);
        char chunk[512];
        while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) {
            help.append(chunk, n);
        }
        EXPECT_EQ(pclose(pipe), 0);
    }
    for (const char* option : {"--tcp-port", "--bind", "--no-tcp", "--pty", "--sensor",
                               "--rangefinder", "--latency", "--baud", "--control-port", "--log",
                               "--config", "--help", "fault KIND", "len600", "param.FIELD"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }

    TempDir dir;
    {
        std::ofstream config(dir.file("sim.conf"));
        config << "# a bus on a serial port only\n"
                  "no-tcp\n"
                  "pty\n"
                  "  sensor addr=12,type=6.1.0.0   # trailing comment\n"
                  "rangefinder 5\n"
                  "control-port 0\n"
                  "baud 9600\n";
    }
    SimProcess sim({"--config", dir.file("sim.conf")});
    ASSERT_TRUE(sim.Ready());
    EXPECT_EQ(sim.tcpPort, 0);
    EXPECT_FALSE(sim.ptyPath.empty());
    ASSERT_GT(sim.controlPort, 0);
    EXPECT_NE(sim.Control("show").find("sensor addr=12 type=6.1.0.0"), std::string::npos);

    // The control port speaks the same line protocol as standard input.
    FdLink control = FdLink::Tcp(sim.controlPort);
    ASSERT_TRUE(control.Open());
    const std::string line = "set 12 alarm=1\nstats\n";
    int sent = 0;
    ASSERT_TRUE(control.Write(reinterpret_cast<const uint8_t*>(line.data()),
                              static_cast<int>(line.size()), &sent, 0));
    std::string answers;
    while (std::count(answers.begin(), answers.end(), '\n') < 2) {
        uint8_t chunk[128];
        int got = 0;
        ASSERT_TRUE(control.Read(chunk, sizeof chunk, &got, 3000));
        answers.append(chunk, chunk + got);
    }
    EXPECT_EQ(answers.rfind("OK\nOK requests=0 ", 0), 0u) << answers;

    // At 9600 baud a state exchange (7 + 27 bytes, 10 bits each) takes at least 35 ms.
    TestHost host(FdLink::Serial(sim.ptyPath), dir.folder());
    host.address = 12;
    CZorTransactor transactor(host);
    transactor.SetPauseBeforeExchangeMs(0);
    auto start = std::chrono::steady_clock::now();
    Bytes payload;
    ASSERT_TRUE(transactor.Transact(nullptr, "GetDevState", kCmdGetDevState, {}, payload));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(35400));
    ZorState state;
    ASSERT_TRUE(DecodeDevState(payload, state, nullptr));
    EXPECT_TRUE(state.Alarm());

    control.Close();
    EXPECT_EQ(sim.Stop(), 0);

    SimProcess badBind({"--tcp-port", "0", "--bind", "localhost-ish"});
    EXPECT_FALSE(badBind.Ready());
    SimProcess noConfig({"--config", dir.file("missing.conf")});
    EXPECT_FALSE(noConfig.Ready());
}

}  // namespace
}  // namespace zm

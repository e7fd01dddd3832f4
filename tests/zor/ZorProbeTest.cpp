// The field tool against the simulator: every command, its output and its exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ZorTestPeers.h"

namespace zm {
namespace {

struct ProbeRun {
    int status = -1;
    std::string output;
};

// Runs the probe with a bounded run time; standard error joins standard output.
ProbeRun RunProbe(const std::string& args) {
    const std::string cmd = std::string("timeout 20 ") + ZM_ZOR_PROBE + " " + args + " 2>&1";
    ProbeRun run;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, n);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

struct ProbeCase {
    const char* command;
    const char* expected;  // a line the decoded answer must hold
};

class ZorProbeTest : public ::testing::TestWithParam<ProbeCase> {
  protected:
    static void SetUpTestSuite() {
        sim = new test::SimProcess(
            {"--tcp-port", "0", "--rangefinder", "2000", "--sensor",
             "addr=5,type=5.2.0.1,source=list:120;130,records=5,alarm=1,pressure=101.5,"
             "devnum=ZOR-0815"});
    }
    static void TearDownTestSuite() {
        delete sim;
        sim = nullptr;
    }
    static std::string Tcp() { return "--tcp 127.0.0.1:" + std::to_string(sim->tcpPort); }
    static test::SimProcess* sim;
};
test::SimProcess* ZorProbeTest::sim = nullptr;

TEST_P(ZorProbeTest, CommandPrintsTranscriptAndAnswer) {
    ASSERT_TRUE(sim->Ready());
    const ProbeCase c = GetParam();
    const ProbeRun run = RunProbe(Tcp() + " --addr 5 " + c.command);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Connection ... succeeded"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(c.expected), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Commands, ZorProbeTest,
                         ::testing::Values(ProbeCase{"check", "Parse packet: [Ok, 7 bytes]"},
                                           ProbeCase{"type", "Long form: Zor.v5 [5.2.0.1]"},
                                           ProbeCase{"params", "ZOR-0815"},
                                           ProbeCase{"state", "State: alarm on, values valid"},
                                           ProbeCase{"data", "Data: 5 records (40 bytes)"},
                                           ProbeCase{"statedata", "Pressure: 101.5 kPa\nTemperature"},
                                           ProbeCase{"rangefinder",
                                                     "Range finder: count 2000, distance 0.688 m"},
                                           ProbeCase{"cycle", "Device status: 5 (Alarm reported)"}),
                         [](const auto& param) { return std::string(param.param.command); });

TEST_F(ZorProbeTest, HexadecimalByteLists) {
    const ProbeRun run = RunProbe(Tcp() + " --addr 5 --hex check");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("{0x05,00,01,00,00,C0,B9}"), std::string::npos) << run.output;
}

TEST_F(ZorProbeTest, ProtocolFailuresExitWithOne) {
    // No sensor at address 6: the request goes unanswered.
    ProbeRun run = RunProbe(Tcp() + " --addr 6 --timeout 300 state");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("Error, State: Unknown"), std::string::npos) << run.output;
    ASSERT_EQ(sim->Control("fault crc").rfind("OK", 0), 0u);
    run = RunProbe(Tcp() + " --addr 5 type");
    EXPECT_EQ(run.status, 1) << run.output;
    run = RunProbe(Tcp() + " --addr 5 type");
    EXPECT_EQ(run.status, 0) << run.output;
}

TEST_F(ZorProbeTest, UsageErrorsExitWithTwo) {
    const std::string tcp = Tcp();
    for (const std::string& args :
         {std::string(""), tcp, tcp + " nonsense", "--serial /dev/null " + tcp + " check",
          tcp + " --addr 0 check", tcp + " --addr 256 check", std::string("--tcp nohost check"),
          tcp + " --timeout x check", tcp + " --bogus check", tcp + " check state"}) {
        const ProbeRun run = RunProbe(args);
        EXPECT_EQ(run.status, 2) << args << "\n" << run.output;
        EXPECT_NE(run.output.find("Usage: zor-probe"), std::string::npos) << args;
    }
    const ProbeRun help = RunProbe("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("rangefinder"), std::string::npos);
}

TEST(ZorProbeSerialTest, CycleOverAPseudoTerminal) {
    test::SimProcess sim({"--pty", "--no-tcp", "--sensor", "addr=9,type=5.1.0.0,value=42"});
    ASSERT_TRUE(sim.Ready());
    const ProbeRun run = RunProbe("--serial " + sim.ptyPath + " --baud 57600 --addr 9 cycle");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("GetDevDataPortion"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Current value: 42.0"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Data: 5 records (40 bytes)"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace zm

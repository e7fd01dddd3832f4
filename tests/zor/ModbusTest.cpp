// The range-finder exchange against libmodbus, an independent Modbus RTU implementation,
// on a pseudo-terminal: libmodbus as the slave for our request and reply handling, and as
// the master for the simulator's range finder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <stdlib.h>

#include <atomic>
#include <thread>

#include "device/zor/ZorFrame.h"
#include "device/zor/ZorRecords.h"
#include "support/TempDir.h"
#include "zor/ZorTestPeers.h"

namespace zm {
namespace {

using Bytes = std::vector<uint8_t>;

// A Modbus RTU slave at address 101 on the slave side of a fresh pseudo-terminal.
class ModbusSlave {
  public:
    explicit ModbusSlave(uint16_t count) {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            return;
        }
        path = ptsname(master);
        termios tio{};
        tcgetattr(master, &tio);
        cfmakeraw(&tio);
        tcsetattr(master, TCSANOW, &tio);
        m_ctx = modbus_new_rtu(path.c_str(), 57600, 'N', 8, 1);
        m_map = modbus_mapping_new(0, 0, 0x300, 0);
        if (!m_ctx || !m_map || modbus_set_slave(m_ctx, 101) != 0 || modbus_connect(m_ctx) != 0) {
            return;
        }
        modbus_set_indication_timeout(m_ctx, 0, 50000);
        m_map->tab_registers[0x208] = count;
        m_thread = std::thread([this] { Serve(); });
        ready = true;
    }
    ~ModbusSlave() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        if (m_ctx) {
            modbus_close(m_ctx);
            modbus_free(m_ctx);
        }
        if (m_map) {
            modbus_mapping_free(m_map);
        }
        if (master >= 0) {
            close(master);
        }
    }

    bool ready = false;
    int master = -1;
    std::string path;
    std::atomic<int> served{0};
    Bytes lastQuery;
    std::mutex lock;

  private:
    void Serve() {
        uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!m_stop) {
            int rc = modbus_receive(m_ctx, query);
            if (rc > 0) {
                {
                    std::lock_guard guard(lock);
                    lastQuery.assign(query, query + rc);
                }
                modbus_reply(m_ctx, query, rc, m_map);
                ++served;
            }
        }
    }

    modbus_t* m_ctx = nullptr;
    modbus_mapping_t* m_map = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};

TEST(RangeFinderModbus, OurRequestAndReplyHandlingAgreeWithLibmodbus) {
    test::TempDir dir;
    for (uint16_t count : {uint16_t{0x1234}, uint16_t{0}, uint16_t{65535}}) {
        ModbusSlave slave(count);
        ASSERT_TRUE(slave.ready) << modbus_strerror(errno);
        test::TestHost host(test::FdLink::Adopt(slave.master, "ptmx"), dir.folder());
        host.address = 17;  // not used by the range-finder request
        CZorTransactor transactor(host);
        transactor.SetPauseBeforeExchangeMs(0);
        Bytes payload;
        std::string transcript;
        ASSERT_TRUE(transactor.Transact(&transcript, "PingSenix", kCmdPingSenix, {}, payload))
            << transcript;
        ZorRange range;
        ASSERT_TRUE(DecodeRangeFinder(payload, range, nullptr));
        EXPECT_EQ(range.count, count);
        EXPECT_NE(transcript.find("\r\n7 bytes received: {101,3,2,"), std::string::npos)
            << transcript;
        std::lock_guard guard(slave.lock);
        EXPECT_EQ(slave.lastQuery, Bytes(kRangeFinderRequest.begin(), kRangeFinderRequest.end()));
    }
}

TEST(RangeFinderModbus, LibmodbusReadsTheSimulatorsRangeFinder) {
    test::TempDir dir;
    test::SimProcess sim(
        {"--no-tcp", "--pty", "--rangefinder", "2718", "--log", dir.file("tx.log")});
    ASSERT_TRUE(sim.Ready());
    modbus_t* ctx = modbus_new_rtu(sim.ptyPath.c_str(), 57600, 'N', 8, 1);
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(modbus_set_slave(ctx, 101), 0);
    ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
    modbus_set_response_timeout(ctx, 2, 0);
    uint16_t value = 0;
    int rc = modbus_read_registers(ctx, 0x208, 1, &value);
    EXPECT_EQ(rc, 1) << modbus_strerror(errno);
    EXPECT_EQ(value, 2718);
    EXPECT_EQ(sim.Control("rf 77"), "OK");
    rc = modbus_read_registers(ctx, 0x208, 1, &value);
    EXPECT_EQ(rc, 1) << modbus_strerror(errno);
    EXPECT_EQ(value, 77);
    modbus_close(ctx);
    modbus_free(ctx);
}

}  // namespace
}  // namespace zm

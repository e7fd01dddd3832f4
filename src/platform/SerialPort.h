#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace zm::platform {

// The line settings of a serial port.
struct SerialLine {
    int baudRate = 9600;  // any positive rate; one without a standard constant is set as is
    int byteSize = 8;     // 5 to 8
    int parity = 0;       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = 0;     // 0 one, 1 one and a half, 2 two
};

// A serial port opened for exclusive use, raw 8-bit traffic without software flow
// control. Every transfer is bounded by its deadline; the port itself never blocks.
// Used by one thread at a time.
class SerialPort {
  public:
    using Clock = std::chrono::steady_clock;

    enum class Step {
        kMoved,     // `bytes` went in or out (at least one)
        kTimedOut,  // the deadline passed with nothing to move
        kAgain,     // nothing moved yet, the deadline has not passed: ask again
        kFailed,    // the port is broken or the other side has gone
    };
    struct Transfer {
        Step step = Step::kFailed;
        int bytes = 0;
    };

    SerialPort() = default;
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the device; false when it cannot be opened or another user has it.
    bool Open(const std::string& devicePath);
    bool IsOpen() const { return handle_ >= 0; }
    // Discards both queues, then sets the line; false when the driver refuses any part
    // or does not keep what was set. The port stays open either way.
    bool Configure(const SerialLine& line);
    // Discards both queues.
    bool Purge();
    // 0, or the system's error number when the close reported one.
    int Close();

    // Waits until bytes can be read or the deadline passes, then reads at most `size`.
    Transfer ReadSome(std::uint8_t* buffer, int size, Clock::time_point deadline);
    // Waits until bytes can be written or the deadline passes, then writes at most `size`.
    Transfer WriteSome(const std::uint8_t* data, int size, Clock::time_point deadline);

    // The device for a configured port name, in the system's form.
    static std::string DevicePath(const std::string& portName);

  private:
    int handle_ = -1;
};

}  // namespace zm::platform

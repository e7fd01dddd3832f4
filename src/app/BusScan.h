#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/WaitProgress.h"

namespace zm {

class CZorDevice;

// Finds which bus addresses answer on which serial port: every port of the machine, bus
// addresses 1..100, one link test each. The device is stopped meanwhile and gets its
// configuration back afterwards, whatever happened (also after Cancel), running again if
// it ran before. Runs on a working thread: each probe blocks for up to the link's read
// time-out, and the questions go through the message sink, which carries them to whoever
// can answer.
class CBusScan {
  public:
    static constexpr int kLastAddress = 100;

    using PortLister = std::function<int(std::vector<std::string>& ports)>;

    struct PortResult {
        std::string sPort;
        std::string sFound;  // "Addr=3;Addr=42;"
    };
    struct Result {
        bool bStarted = false;  // false: the operator said No, or the link is not serial
        bool bCancelled = false;
        int nFound = 0;
        int nProbes = 0;
        std::vector<PortResult> ports;
        std::string sMessage;  // the closing message as shown
    };

    // ports: the serial port enumerator (the machine's by default).
    CBusScan(std::shared_ptr<CZorDevice> device, IWaitProgress& progress, PortLister ports = {});

    Result Run();

    // The progress line for one probe.
    static std::string ProgressText(const std::string& sPort, int nAddress, int nFound);
    // The closing message for a scan's results.
    static std::string ResultMessage(const std::vector<PortResult>& ports, int nFound,
                                     const std::string& sCancelNote);

  private:
    bool AskToCancel();

    std::shared_ptr<CZorDevice> m_device;
    IWaitProgress& m_progress;
    PortLister m_ports;
};

}  // namespace zm

#include "app/BusScan.h"

#include "base/MessageSink.h"
#include "base/MlsPrgMsg.h"
#include "base/texts/DialogTexts.h"
#include "device/zor/ZorDevice.h"
#include "links/ComPort.h"

namespace zm {

namespace {

constexpr int kProgressBar = 1;

}  // namespace

CBusScan::CBusScan(std::shared_ptr<CZorDevice> device, IWaitProgress& progress, PortLister ports)
    : m_device(std::move(device)), m_progress(progress), m_ports(std::move(ports)) {
    if (!m_ports) {
        m_ports = [](std::vector<std::string>& list) { return EnumSerialPorts(list); };
    }
}

std::string CBusScan::ProgressText(const std::string& sPort, int nAddress, int nFound) {
    // Translated texts are never formats: the line is put together piece by piece.
    return sPort + ": " + Translate(texts::tpZorSetsDlg_SearchingDevice) + " " +
           std::to_string(nAddress) + " (" + Translate(texts::tpZorSetsDlg_total) + " " +
           std::to_string(kLastAddress) + "). " + Translate(texts::tpZorSetsDlg_FoundSoFar) + " " +
           std::to_string(nFound) + ".";
}

std::string CBusScan::ResultMessage(const std::vector<PortResult>& ports, int nFound,
                                    const std::string& sCancelNote) {
    if (nFound <= 0) {
        return Translate(texts::tpZorSetsDlg_NoAvailableDevices) + "\n" + sCancelNote;
    }
    std::string text = Translate(texts::tpZorSetsDlg_AvailableDevices) + ":\n";
    for (const PortResult& port : ports) {
        if (!port.sFound.empty()) {
            text += port.sPort + ": " + port.sFound + "\n";
        }
    }
    return text + sCancelNote;
}

bool CBusScan::AskToCancel() {
    m_progress.Hide();
    const MsgResult answer = ShowMessage(Translate(texts::tpZorSetsDlg_SureToCancel) + "?\r\n",
                                         MessageBoxType{MsgButtons::kYesNo, MsgIcon::kQuestion});
    m_progress.Show();
    return answer == MsgResult::kYes;
}

CBusScan::Result CBusScan::Run() {
    Result result;
    ZorDeviceCfg saved;
    m_device->GetZorSettings(saved);
    if (LinkKindFromName(saved.sLinkType) != LinkKind::Com) {
        return result;
    }
    const MsgResult go = ShowMessage(Translate(texts::tpZorSetsDlg_DoYouWantContinue) + "?\r\n",
                                     MessageBoxType{MsgButtons::kYesNo, MsgIcon::kWarning});
    if (go != MsgResult::kYes) {
        return result;
    }
    result.bStarted = true;

    ZorDeviceCfg probe = saved;
    if (probe.bScanning) {
        probe.bScanning = false;  // as "STOP"
        m_device->SetZorSettings(probe, true);
    }

    std::vector<std::string> ports;
    m_ports(ports);
    for (const std::string& port : ports) {
        result.ports.push_back(PortResult{port, {}});
    }

    m_progress.SetBar(true, false, kProgressBar);
    m_progress.SetTexts(ProgressText("COM", 1, 0), Translate(texts::tpZorSetsDlg_PleaseWait));
    m_progress.SetMinSize(300, 100);
    m_progress.SetBarPos(0, kProgressBar);
    m_progress.EnableCancel(true);
    m_progress.Start();

    std::string cancelNote;
    for (int address = 1; address <= kLastAddress && !result.bCancelled; ++address) {
        for (PortResult& port : result.ports) {
            if (result.bCancelled) {
                break;
            }
            probe.comPort.sPortName = port.sPort;
            probe.params.SetAddress(static_cast<std::uint8_t>(address));
            m_device->SetZorSettings(probe, true);
            m_progress.SetTexts(ProgressText(port.sPort, address, result.nFound),
                                Translate(texts::tpZorSetsDlg_PleaseWait));
            m_progress.SetBarPos(address * 100 / kLastAddress, kProgressBar);
            if (m_progress.CheckCancel(true) == IWaitProgress::kCancelPressed && AskToCancel()) {
                result.bCancelled = true;
                cancelNote = "\r\n" + Translate(texts::tpZorSetsDlg_WasCanceled) + "!\n";
                break;
            }
            std::string transcript;
            ++result.nProbes;
            if (m_device->CheckDevLink(&transcript)) {
                port.sFound +=
                    Translate(texts::tpZorSetsDlg_Addr) + "=" + std::to_string(address) + ";";
                ++result.nFound;
            }
        }
    }
    m_progress.Stop();

    result.sMessage = ResultMessage(result.ports, result.nFound, cancelNote);
    ShowMessage(result.sMessage, MessageBoxType{MsgButtons::kOk, MsgIcon::kInformation});

    // The probes touched only the port and the address; the saved record also brings back
    // the run flag, so a device that ran runs again.
    m_device->SetZorSettings(saved, true);
    return result;
}

}  // namespace zm

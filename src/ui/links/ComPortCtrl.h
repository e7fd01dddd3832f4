#pragma once

#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "links/DeviceLink.h"

class QComboBox;
class QPushButton;

namespace zm::TavCommunication {

// The serial settings panel: port, baud rate, byte size, stop bits and parity of a record
// the owner binds. Every change goes straight into the record and is announced.
class CComPortCtrl : public QWidget {
    Q_OBJECT

  public:
    using PortLister = std::function<int(std::vector<std::string>& ports)>;
    static constexpr int kBaudRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                         19200, 38400, 56000, 57600, 115200, 128000, 256000};

    explicit CComPortCtrl(QWidget* parent = nullptr);

    // The record edited (may be null) and who hears of a change.
    void Bind(ComPortSettings* pRecord, std::function<void()> onChanged);
    // Controls from the record (bSave false) or record from the controls.
    void Exchange(bool bSave);

    // The machine's serial ports; tests point it at pseudo-terminals.
    static void SetPortLister(PortLister lister);
    static PortLister GetPortLister();

    QComboBox* PortList() const { return m_pPort; }
    QComboBox* BaudList() const { return m_pBaud; }
    QComboBox* ByteSizeList() const { return m_pByteSize; }
    QComboBox* StopBitsList() const { return m_pStopBits; }
    QComboBox* ParityList() const { return m_pParity; }
    QPushButton* DefaultsButton() const { return m_pDefaults; }

  private:
    void FillLists();
    void OnSelection();
    void OnDefaults();

    ComPortSettings* m_pRecord = nullptr;
    std::function<void()> m_onChanged;
    bool m_bFilling = false;
    QComboBox* m_pPort = nullptr;
    QComboBox* m_pBaud = nullptr;
    QComboBox* m_pByteSize = nullptr;
    QComboBox* m_pStopBits = nullptr;
    QComboBox* m_pParity = nullptr;
    QPushButton* m_pDefaults = nullptr;
};

}  // namespace zm::TavCommunication

#pragma once

#include <QDialog>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "device/zor/ZorDevice.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace zm {

// The ZOR device's settings: name, position, colour, polling, and (advanced mode) the
// sample pause and the sensor's own parameters. Works on a copy of the device's
// configuration and hands it back with Apply. Exchanges with the sensor run on a worker.
class CZorDevDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kWidth = 450;
    static constexpr int kNormalHeight = 150;
    static constexpr int kAdvancedHeight = 400;
    static constexpr int kIdleTimerMs = 500;
    static constexpr int kBlinkOffMs = 500;

    // allNames: the names of every device (this one included), the reference for Apply.
    CZorDevDlg(CZorDevice& device, std::vector<std::string> allNames, bool advanced,
               QWidget* parent = nullptr);
    ~CZorDevDlg() override;

    // True when the device took the fields (false: the name was refused).
    bool Apply();
    void accept() override;

    const ZorDeviceCfg& WorkingCopy() const { return m_work; }
    // Whether a device exchange started here is still running.
    bool Busy() const { return m_nBusy > 0; }

    // Controls, for tests and accessibility.
    QLineEdit* NameEdit() const { return m_pName; }
    QLineEdit* LatitudeEdit() const { return m_pLat; }
    QLineEdit* LongitudeEdit() const { return m_pLon; }
    QComboBox* IdleList() const { return m_pIdle; }
    QLabel* IdleField() const { return m_pIdleField; }
    QLineEdit* UdpPeriodEdit() const { return m_pUdp; }
    QPushButton* DeviceTypeButton() const { return m_pDeviceType; }
    QPushButton* ReadParamsButton() const { return m_pReadParams; }
    QPushButton* ColorButton() const { return m_pColor; }
    QPushButton* LinkButton() const { return m_pLink; }
    QPushButton* ApplyButton() const { return m_pApply; }
    QPushButton* OkButton() const { return m_pOk; }
    QPlainTextEdit* AnswerText() const { return m_pAnswer; }
    QGroupBox* AdvancedGroup() const { return m_pAdvanced; }
    QWidget* SensorFields() const { return m_pSensor; }
    QLineEdit* SerialEdit() const { return m_pSerial; }
    QLineEdit* ThreshLowEdit() const { return m_pThreshLow; }
    QLineEdit* ThreshHiEdit() const { return m_pThreshHi; }
    QLabel* ColorSwatch() const { return m_pSwatch; }

  private:
    void BuildControls();
    void LoadFields();
    void ReadFields();
    void ShowSensorFields();
    void OnIdleTimer();
    void OnDeviceType();
    void OnReadParams();
    void OnSetColor();
    void OnLinkSettings();
    void DrawSwatch();

    CZorDevice& m_dev;
    std::shared_ptr<CZorDevice> m_pDev;  // for the workers: they may outlive the dialog
    bool m_bAdvanced;
    ZorDeviceCfg m_work;
    int m_nBusy = 0;
    QTimer m_idleTimer;

    QLineEdit* m_pName = nullptr;
    QLineEdit* m_pLat = nullptr;
    QLineEdit* m_pLon = nullptr;
    QPushButton* m_pColor = nullptr;
    QLabel* m_pSwatch = nullptr;
    QPushButton* m_pLink = nullptr;
    QCheckBox* m_pGetState = nullptr;
    QCheckBox* m_pGetData = nullptr;
    QCheckBox* m_pTestLink = nullptr;
    QGroupBox* m_pAdvanced = nullptr;
    QCheckBox* m_pRangeFinder = nullptr;
    QComboBox* m_pIdle = nullptr;
    QLabel* m_pIdleField = nullptr;
    QLineEdit* m_pUdp = nullptr;
    QPushButton* m_pDeviceType = nullptr;
    QPushButton* m_pReadParams = nullptr;
    QPlainTextEdit* m_pAnswer = nullptr;
    QWidget* m_pSensor = nullptr;
    QLineEdit* m_pSerial = nullptr;
    QLineEdit* m_pThreshLow = nullptr;
    QLineEdit* m_pThreshHi = nullptr;
    QLineEdit* m_pAccumulation = nullptr;
    QLineEdit* m_pPause = nullptr;
    QLineEdit* m_pIntegr = nullptr;
    QPushButton* m_pApply = nullptr;
    QPushButton* m_pCancel = nullptr;
    QPushButton* m_pOk = nullptr;
};

}  // namespace zm

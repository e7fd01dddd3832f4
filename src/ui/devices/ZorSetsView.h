#pragma once

#include <QWidget>

#include <functional>
#include <memory>

#include "device/zor/ZorDevice.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace zm {

// The link dialog's device panel: keep-link switch, device name, bus address, and the
// link test. The test runs on a worker; the panel shows its "wait" state meanwhile.
class CZorSetsView : public QWidget {
    Q_OBJECT

  public:
    // apply: reads the owner's fields and gives its working copy to the device.
    CZorSetsView(CZorDevice& device, ZorDeviceCfg& work, std::function<void()> apply,
                 QWidget* parent = nullptr);
    ~CZorSetsView() override;

    void Refresh();
    // Stores the controls into the working copy.
    void Exchange();
    bool TestRunning() const { return m_bTesting; }

    QCheckBox* KeepLinkSwitch() const { return m_pKeepLink; }
    QLineEdit* NameField() const { return m_pName; }
    QSpinBox* AddressField() const { return m_pAddress; }
    QPushButton* TestLinkButton() const { return m_pTestLink; }

  signals:
    // The line the last link test added to the device's status text.
    void LinkTested(const QString& line);

  private:
    void OnTestLink();

    CZorDevice& m_dev;
    ZorDeviceCfg& m_work;
    std::function<void()> m_apply;
    bool m_bTesting = false;
    QCheckBox* m_pKeepLink = nullptr;
    QLineEdit* m_pName = nullptr;
    QSpinBox* m_pAddress = nullptr;
    QPushButton* m_pTestLink = nullptr;
};

}  // namespace zm

#pragma once
// The demo's second window: the virtual product's connector and workbench. It plugs the product
// in and out, re-enumerates it in a chosen code, loads ready-made states, writes the identities
// of its banks, injects faults, and shows what the product is doing, so that a person can walk
// the tool through every branch.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QWidget>

#include "app/qt/device_event_notifier.h"
#include "simulator/virtual_platform.h"

namespace torvex::qt::demo {

class DemoControlWindow : public QWidget {
    Q_OBJECT
  public:
    // The summary follows the product: it is shown again each time `product_events` took the
    // product's events (its clock moved).
    DemoControlWindow(sim::VirtualPlatform& platform, DeviceEventNotifier& product_events,
                      sim::DiskIndex disk, QWidget* parent = nullptr);

    // Shows the product's present state (also the bank fields, after the tool rewrote them).
    void Refresh();

  private:
    struct BankFields {
        QCheckBox* erased;
        QLineEdit* tag;
        QLineEdit* version;
        QLineEdit* name;
    };

    QWidget* BuildConnection();
    QWidget* BuildPresets();
    QWidget* BuildBanks();
    QWidget* BuildFaults();
    QWidget* BuildStatus();
    void FillBankFields();
    void WriteBanks();
    void InjectFault();
    void ShowStatus();

    sim::VirtualPlatform& platform_;
    sim::DiskIndex disk_;
    QComboBox* mode_ = nullptr;
    QCheckBox* held_ = nullptr;
    QComboBox* preset_ = nullptr;
    BankFields ef64_{};
    BankFields ef32_{};
    QLabel* bank_error_ = nullptr;
    QComboBox* fault_command_ = nullptr;
    QComboBox* fault_action_ = nullptr;
    QSpinBox* fault_times_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace torvex::qt::demo

#include "app/qt/demo/demo_session.h"

#include <string>

namespace torvex::qt::demo {

namespace {

// The product times its departures and returns on its own clock, which moves when its events
// are taken; taking them this often keeps it within this much of the real time (and the control
// window's summary current).
constexpr int kClockStepMs = 20;

}  // namespace

DemoSession::DemoSession(const FirmwareBlockStore& blocks, sim::ProductPreset preset)
    : disk_(platform_.IndexOf(platform_.AddProduct(sim::PresetConfig(preset)))) {
    // The trace then says which firmware block each data transfer came from.
    for (std::uint16_t id : kFirmwareBlockLoadOrder) {
        const FirmwareBlockStore::Block block = blocks.Find(id);
        if (block.lookup == FirmwareBlockStore::Lookup::Found)
            platform_.RegisterDataSource("block " + std::to_string(id), block.bytes);
    }
    events_ = std::make_unique<sim::VirtualProductEvents>(platform_);
    notifier_ = std::make_unique<DeviceEventNotifier>(*events_);
    clock_.setInterval(kClockStepMs);
    QObject::connect(&clock_, &QTimer::timeout, notifier_.get(),
                     &DeviceEventNotifier::TakeDueEvents);
    dialog_ = std::make_unique<CArdekoPCISPDlg>(platform_, blocks);
    dialog_->ConnectDeviceChanges(*notifier_);
    control_ = std::make_unique<DemoControlWindow>(platform_, *notifier_, disk_);
}

void DemoSession::Start() {
    dialog_->OnInitDialog();
    dialog_->show();
    control_->move(0, kTopBandFrame.bottom() + 40);
    control_->show();
    clock_.start();
}

}  // namespace torvex::qt::demo

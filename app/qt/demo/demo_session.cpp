#include "app/qt/demo/demo_session.h"

#include <string>

namespace torvex::qt::demo {

DemoSession::DemoSession(const FirmwareBlockStore& blocks, sim::ProductPreset preset)
    : disk_(platform_.IndexOf(platform_.AddProduct(sim::PresetConfig(preset)))) {
    // The trace then says which firmware block each data transfer came from.
    for (std::uint16_t id : kFirmwareBlockLoadOrder) {
        const FirmwareBlockStore::Block block = blocks.Find(id);
        if (block.lookup == FirmwareBlockStore::Lookup::Found)
            platform_.RegisterDataSource("block " + std::to_string(id), block.bytes);
    }
    clock_ = std::make_unique<VirtualProductClock>(platform_);
    dialog_ = std::make_unique<CArdekoPCISPDlg>(platform_, blocks);
    dialog_->ConnectDeviceChanges(*clock_);
    control_ = std::make_unique<DemoControlWindow>(platform_, *clock_, disk_);
}

void DemoSession::Start() {
    dialog_->OnInitDialog();
    dialog_->show();
    control_->move(0, kTopBandFrame.bottom() + 40);
    control_->show();
    clock_->Start();
}

}  // namespace torvex::qt::demo

#pragma once
// The window on a Linux desktop: the back end's advice on raw SCSI access, the offer to unmount a
// mounted product through udisks2 (asked in a box), and logind's sleep inhibitor while an update
// writes the product. What to offer and when lives in desktop/linux, shared with the runner; this
// class shows it and wires it to the window.

#include "app/qt/ardeko_pcisp_dlg.h"
#include "desktop/linux/freed_product_events.h"
#include "desktop/linux/logind_sleep_inhibitor.h"
#include "desktop/linux/udisks_disk_service.h"
#include "desktop/linux/unmount_offer.h"
#include "desktop/linux/update_sleep_guard.h"
#include "device/linux/linux_device_platform.h"

namespace torvex::qt {

class LinuxDesktopSession {
  public:
    // Hooks itself into `dialog`; all three must outlive the dialog's run. `events` is the source
    // the window's device changes come from: a product freed by an unmount arrives through it.
    LinuxDesktopSession(linux_backend::LinuxDevicePlatform& platform, CArdekoPCISPDlg& dialog,
                        desktop::FreedProductEvents& events);

  private:
    void AfterEachEvent();
    void ConsiderMounts();
    bool AskToUnmount(const desktop::MountedDisk& blocked);

    linux_backend::LinuxDevicePlatform& platform_;
    CArdekoPCISPDlg& dialog_;
    desktop::FreedProductEvents& events_;
    desktop::UDisksDiskService disks_;
    desktop::UnmountOffer offer_{disks_};
    desktop::LogindSleepInhibitor inhibitor_;
    desktop::UpdateSleepGuard awake_;
    bool mounts_pending_ = false;
};

}  // namespace torvex::qt

#pragma once
// Unmounting through udisks2 on the system bus, as the desktop's file manager does: the block
// object of a device node comes from Manager.ResolveDevice, then Filesystem.Unmount unmounts it.
// udisks2 asks polkit, so a file system another user or the administrator mounted may need a
// password, which the desktop's agent asks for.

#include "desktop/linux/disk_service.h"

namespace torvex::desktop {

class UDisksDiskService final : public DiskService {
  public:
    // `bus_address`: empty for the system bus (tests give a bus of their own).
    explicit UDisksDiskService(std::string bus_address = {}) : address_(std::move(bus_address)) {}

    std::string Unmount(const std::string& devnode) override;

  private:
    std::string address_;
};

}  // namespace torvex::desktop

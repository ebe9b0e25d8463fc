#pragma once
// The listing steps on the device-installation services (SetupDi) and the configuration manager
// (CM_Get_Parent, CM_Get_Device_IDW), over the present interfaces of GUID_DEVINTERFACE_DISK.

#include <windows.h>
// windows.h first: setupapi.h relies on its types.
#include <setupapi.h>

#include <array>

#include "device/windows/disk_interface_listing.h"

namespace torvex::windows {

class SetupApiDiskSteps : public DiskInterfaceSteps {
  public:
    SetupApiDiskSteps() = default;
    SetupApiDiskSteps(const SetupApiDiskSteps&) = delete;
    SetupApiDiskSteps& operator=(const SetupApiDiskSteps&) = delete;
    ~SetupApiDiskSteps() override { CloseInterfaceSet(); }

    bool OpenInterfaceSet() override;
    bool SelectInterface(std::uint32_t index) override;
    bool ReadInterfaceDetail(std::span<std::uint8_t, kInterfaceDetailBytes> record) override;
    bool ReadCompatibleIds(std::span<std::uint8_t, kCompatibleIdsBytes> buffer,
                           std::uint32_t& bytes) override;
    bool ReadParentInstance() override;
    bool ReadParentDeviceId(std::span<char16_t, kParentDeviceIdUnits> buffer) override;
    bool ReadParentLocationPaths(std::span<std::uint8_t, kLocationPathsBytes> buffer,
                                 std::uint32_t& bytes) override;
    void CloseInterfaceSet() override;

  private:
    HDEVINFO set_ = INVALID_HANDLE_VALUE;
    SP_DEVICE_INTERFACE_DATA interface_{};
    SP_DEVINFO_DATA device_{};
    DWORD parent_ = 0;
    std::array<wchar_t, kParentDeviceIdUnits> parent_id_{};
};

}  // namespace torvex::windows

#include "device/windows/setupapi_disk_steps.h"

#include <cfgmgr32.h>

#include <array>
#include <cstring>

#include "device/windows/disk_interface_notifications.h"

namespace torvex::windows {

static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) == kDetailPathOffset);
static_assert(sizeof(wchar_t) == sizeof(char16_t));

bool SetupApiDiskSteps::OpenInterfaceSet() {
    CloseInterfaceSet();
    set_ = SetupDiGetClassDevsW(&kDiskInterfaceClass, nullptr, nullptr,
                                DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    return set_ != INVALID_HANDLE_VALUE;
}

bool SetupApiDiskSteps::SelectInterface(std::uint32_t index) {
    interface_ = SP_DEVICE_INTERFACE_DATA{};
    interface_.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    return SetupDiEnumDeviceInterfaces(set_, nullptr, &kDiskInterfaceClass, index, &interface_) !=
           FALSE;
}

bool SetupApiDiskSteps::ReadInterfaceDetail(std::span<std::uint8_t, kInterfaceDetailBytes> record) {
    // The record's size field is the size of its fixed part on this platform (6 on 32-bit
    // Windows, 8 on 64-bit), not the size of the buffer.
    std::memset(record.data(), 0, record.size());
    const DWORD size_field = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    std::memcpy(record.data(), &size_field, sizeof size_field);
    device_ = SP_DEVINFO_DATA{};
    device_.cbSize = sizeof(SP_DEVINFO_DATA);
    return SetupDiGetDeviceInterfaceDetailW(
               set_, &interface_,
               reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(record.data()),
               static_cast<DWORD>(record.size()), nullptr, &device_) != FALSE;
}

bool SetupApiDiskSteps::ReadCompatibleIds(std::span<std::uint8_t, kCompatibleIdsBytes> buffer,
                                          std::uint32_t& bytes) {
    DWORD type = 0;
    DWORD required = 0;
    std::memset(buffer.data(), 0, buffer.size());
    if (!SetupDiGetDeviceRegistryPropertyW(set_, &device_, SPDRP_COMPATIBLEIDS, &type,
                                           buffer.data(), static_cast<DWORD>(buffer.size()),
                                           &required))
        return false;
    bytes = required;
    return true;
}

bool SetupApiDiskSteps::ReadParentInstance() {
    parent_ = 0;
    return CM_Get_Parent(&parent_, device_.DevInst, 0) == CR_SUCCESS;
}

bool SetupApiDiskSteps::ReadParentDeviceId(std::span<char16_t, kParentDeviceIdUnits> buffer) {
    parent_id_.fill(L'\0');
    if (CM_Get_Device_IDW(parent_, parent_id_.data(), static_cast<ULONG>(parent_id_.size()), 0) !=
        CR_SUCCESS)
        return false;
    for (std::size_t i = 0; i < parent_id_.size(); ++i)
        buffer[i] = static_cast<char16_t>(parent_id_[i]);
    return true;
}

// The location paths are a registry property of the parent USB device, which is not in the set
// of disk interfaces: it is opened in a set of its own by its instance id.
bool SetupApiDiskSteps::ReadParentLocationPaths(std::span<std::uint8_t, kLocationPathsBytes> buffer,
                                                std::uint32_t& bytes) {
    parent_id_.back() = L'\0';
    HDEVINFO parent_set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (parent_set == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA parent{};
    parent.cbSize = sizeof(SP_DEVINFO_DATA);
    DWORD type = 0;
    DWORD required = 0;
    std::memset(buffer.data(), 0, buffer.size());
    const bool read =
        SetupDiOpenDeviceInfoW(parent_set, parent_id_.data(), nullptr, 0, &parent) != FALSE &&
        SetupDiGetDeviceRegistryPropertyW(parent_set, &parent, SPDRP_LOCATION_PATHS, &type,
                                          buffer.data(), static_cast<DWORD>(buffer.size()),
                                          &required) != FALSE &&
        type == REG_MULTI_SZ;
    SetupDiDestroyDeviceInfoList(parent_set);
    if (read) bytes = required;
    return read;
}

void SetupApiDiskSteps::CloseInterfaceSet() {
    if (set_ == INVALID_HANDLE_VALUE) return;
    SetupDiDestroyDeviceInfoList(set_);
    set_ = INVALID_HANDLE_VALUE;
}

}  // namespace torvex::windows

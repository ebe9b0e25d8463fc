#pragma once
// Reading a listed disk's USB identity as discovery reads it: whether the disk is a USB
// mass-storage disk, the vendor id, product id and serial in its parent instance id, whether that
// pair is one of the product's, and which code a product runs. Discovery, the runner's product
// selection and its listing all use these, so they agree on what the product is.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "device/device_platform.h"

namespace torvex {

// Run modes: the USB product id of the device that discovery found last (0: none).
inline constexpr std::uint16_t kRunModeNoDevice = 0x0000;
inline constexpr std::uint16_t kRunModeMaskCode = 0x0320;
inline constexpr std::uint16_t kRunModeProtectIsp = 0x0321;
inline constexpr std::uint16_t kRunModeAppOrOta = 0x5001;

// The product's USB vendor ids.
inline constexpr std::uint16_t kVendorBootAndIsp = 0x0A81;
inline constexpr std::uint16_t kVendorAppAndOta = 0x2175;

// Longest path to a product's disk, in UTF-16 units, without the terminator.
inline constexpr std::size_t kDevicePathMaxUnits = 254;

struct UsbDeviceId {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    std::u16string_view serial;  // a view into the instance id it was read from
};

// The compatible ids start with "USBSTOR\Disk" (only their first 520 bytes are looked at).
bool IsUsbStorageDisk(std::u16string_view compatible_ids);

// Reads "USB\VID_vvvv&PID_pppp\serial". An id without "VID_" or "PID_", or with fewer than four
// characters after either, yields nothing rather than a read past its end.
std::optional<UsbDeviceId> ParseParentDeviceId(std::u16string_view id);

// One of the product's identities: mask code, protected ISP code, application or OTA code.
bool IsProductPair(const UsbDeviceId& id);

enum class ProductCode : std::uint8_t { NotTheProduct, MaskCode, ProtectIsp, Application, Ota };

// Which code a disk's USB identity says it runs (application and OTA code share a pair and are
// told apart by the serial).
ProductCode CodeOf(const UsbDeviceId& id);

// The identity of a listed disk that discovery would take for the product; empty for every other
// disk. The serial is a view into `disk`.
std::optional<UsbDeviceId> ProductIdOf(const DiskInterface& disk);

}  // namespace torvex

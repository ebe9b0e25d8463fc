#pragma once
// How a disk's USB ancestry, as sysfs states it, becomes the identity the discovery code reads:
// the compatible id and the parent id "USB\VID_vvvv&PID_pppp\serial". Attribute strings come
// from the device and are treated as untrusted bytes: widened one to one and cut to length.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace torvex::linux_backend {

// Compatible id of a disk behind a USB mass-storage interface, and of every other disk.
inline constexpr std::u16string_view kUsbMassStorageCompatibleId = u"USBSTOR\\Disk";
inline constexpr std::u16string_view kOtherDiskCompatibleId = u"GenDisk";

// The parent id fits the 320-unit buffer discovery was written for (terminator included).
inline constexpr std::size_t kParentDeviceIdMaxUnits = 319;
inline constexpr std::size_t kParentDeviceIdPrefixUnits = 22;  // "USB\VID_vvvv&PID_pppp\"
inline constexpr std::size_t kSerialMaxUnits = kParentDeviceIdMaxUnits - kParentDeviceIdPrefixUnits;

inline constexpr unsigned kMassStorageInterfaceClass = 0x08;

// True for an interface of class 08 bound to usb-storage or uas. Null strings are absent values.
bool IsMassStorageInterface(const char* interface_class, const char* driver);

// The four hex digits of an idVendor/idProduct attribute in upper case; empty unless the
// attribute is exactly four hexadecimal digits.
std::optional<std::u16string> UsbIdDigits(const char* attribute);

// The serial attribute widened byte by byte, cut to kSerialMaxUnits; absent: empty.
std::u16string SerialText(const char* serial);

// "USB\VID_" vid "&PID_" pid "\" serial.
std::u16string ParentDeviceId(std::u16string_view vid, std::u16string_view pid,
                              std::u16string_view serial);

}  // namespace torvex::linux_backend

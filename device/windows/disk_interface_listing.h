#pragma once
// The listing of present disk interfaces, step by step as the device-installation services
// offer it: obtain the set of present disk interfaces, then for each interface index its detail
// record (the path), its compatible ids, its parent device and the parent's instance id (and,
// where the platform has them, the parent's location paths: the USB port). The first step that
// fails ends the listing; the interfaces read before it are kept. The steps are
// an interface so that the listing's order and its failures can be tested without a device.

#include <cstdint>
#include <span>

#include "device/device_platform.h"

namespace torvex::windows {

// Working buffers, as large as the product was qualified with; they bound what the platform
// may return.
inline constexpr std::size_t kInterfaceDetailBytes = 1024;
inline constexpr std::size_t kCompatibleIdsBytes = 520;
inline constexpr std::size_t kParentDeviceIdUnits = 320;
inline constexpr std::size_t kLocationPathsBytes = 2048;
// Where the path starts in the detail record (after its 32-bit size field).
inline constexpr std::size_t kDetailPathOffset = 4;

class DiskInterfaceSteps {
  public:
    virtual ~DiskInterfaceSteps() = default;
    // The set of present disk interfaces; false when it cannot be obtained.
    virtual bool OpenInterfaceSet() = 0;
    // Makes interface `index` the current one; false past the end.
    virtual bool SelectInterface(std::uint32_t index) = 0;
    // Fills the detail record of the current interface; false when the platform refused.
    virtual bool ReadInterfaceDetail(std::span<std::uint8_t, kInterfaceDetailBytes> record) = 0;
    // Reads the compatible-id list into `buffer`; `bytes` receives the size the platform
    // reports for it.
    virtual bool ReadCompatibleIds(std::span<std::uint8_t, kCompatibleIdsBytes> buffer,
                                   std::uint32_t& bytes) = 0;
    // Finds the parent device of the current interface's device.
    virtual bool ReadParentInstance() = 0;
    virtual bool ReadParentDeviceId(std::span<char16_t, kParentDeviceIdUnits> buffer) = 0;
    // Reads the parent device's location paths (a list of strings, as the compatible ids are)
    // into `buffer`; `bytes` receives the size the platform reports. False when the platform
    // has none for it: the disk is then listed without a port path, never left out.
    virtual bool ReadParentLocationPaths(std::span<std::uint8_t, kLocationPathsBytes> /*buffer*/,
                                         std::uint32_t& /*bytes*/) {
        return false;
    }
    // Releases the set; called once after a successful OpenInterfaceSet.
    virtual void CloseInterfaceSet() = 0;
};

DiskListing ListDiskInterfaces(DiskInterfaceSteps& steps);

// The pieces of one DiskInterface, read from the raw buffers without reading past them.

// The path in a detail record: UTF-16 from kDetailPathOffset up to its terminator or the
// record's end. An unfilled record (the platform refused) yields an empty path.
std::u16string DevicePathFromDetail(std::span<const std::uint8_t> record, bool filled);

// The compatible-id list (a sequence of strings, each ending in a NUL, the list ending in an
// empty one) as one string: its strings separated by NUL units, without the terminators. Only
// the bytes the platform reported, and no more than the buffer holds, are read; an odd last
// byte is dropped.
std::u16string CompatibleIdsFromProperty(std::span<const std::uint8_t> buffer,
                                         std::uint32_t reported_bytes);

// The parent's instance id up to its terminator or the buffer's end.
std::u16string DeviceIdFromBuffer(std::span<const char16_t> buffer);

// The port path: the first of the location paths ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"),
// read as CompatibleIdsFromProperty reads its list.
std::u16string PortPathFromLocationPaths(std::span<const std::uint8_t> buffer,
                                         std::uint32_t reported_bytes);

}  // namespace torvex::windows

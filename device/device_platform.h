#pragma once
// What the tool needs of the operating system to reach the product: the list of present disk
// interfaces, an exclusive open, and one SCSI pass-through request at a time. The Linux back end,
// the Windows back end and the virtual product implement it; nothing above it knows which runs.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace torvex {

// One present disk interface.
struct DiskInterface {
    // The compatible-id list as the platform gives it; a USB mass-storage disk starts with
    // "USBSTOR\Disk". Other disks carry something else and are skipped by discovery.
    std::u16string compatible_ids;
    // The parent USB device's instance id: "USB\VID_vvvv&PID_pppp\serial".
    std::u16string parent_device_id;
    // What OpenExclusive takes to reach this disk.
    std::u16string path;
    // The USB port the disk's device is plugged into, as the system names it ("2-1.4" on Linux,
    // the location path on Windows). It stays the same while the product re-enumerates in its
    // other codes (when its identity and its path change), so a runner can keep to one product
    // by it. Empty when the platform cannot tell (a disk not behind USB).
    std::u16string port_path{};
};

// Which step of the listing failed. Failures after the first step happen at the interface that
// follows the ones already listed.
enum class ListingFailure : std::uint8_t {
    None,
    InterfaceSet,    // the set of present disk interfaces could not be obtained
    CompatibleIds,   // an interface's compatible ids could not be read
    ParentInstance,  // an interface's parent device could not be found
    ParentDeviceId,  // the parent's instance id could not be read
};

struct DiskListing {
    std::vector<DiskInterface> disks;  // the interfaces read before any failure, in a stable order
    ListingFailure failure = ListingFailure::None;
};

using DeviceHandle = int;
inline constexpr DeviceHandle kInvalidDeviceHandle = -1;

// Direction flag as the vendor command tables give it.
enum class DataDirection : std::uint8_t { Out = 0, In = 1 };

inline constexpr std::uint32_t kPassThroughTimeoutSeconds = 30;
inline constexpr std::size_t kMaxCdbLength = 16;
inline constexpr std::size_t kSenseLength = 96;

struct PassThroughRequest {
    std::span<const std::uint8_t> cdb;  // 1..16 bytes
    DataDirection direction = DataDirection::In;
    std::uint8_t* data_in = nullptr;         // reply lands here in place (direction In)
    const std::uint8_t* data_out = nullptr;  // sent from here in place (direction Out)
    std::uint32_t length = 0;                // 0: no data transfer
    std::uint32_t timeout_seconds = kPassThroughTimeoutSeconds;
};

// Why a request was not delivered, where the platform can tell.
enum class TransportError : std::uint8_t {
    None,
    InvalidHandle,
    PermissionDenied,  // the platform refused the vendor command to this process
    NoDevice,          // the device went away
    Timeout,
    Other,
};

struct PassThroughResult {
    bool delivered = false;        // the request reached the device and completed
    std::uint8_t scsi_status = 0;  // the target's status (0 GOOD) when delivered
    TransportError error = TransportError::None;
    std::uint8_t sense_length = 0;
    std::array<std::uint8_t, kSenseLength> sense{};
    // Data bytes asked for that did not move (the kernel's residual count on Linux; 0 where the
    // platform does not say): a product that answers a data-in request short leaves the end of
    // the buffer as it was.
    std::uint32_t residual = 0;
    std::string diagnostic;  // the platform's own words on what went wrong, if anything
    // Not delivered as far as the caller can tell, yet the request may have reached the device
    // (the carrier lost track of it mid-way): sending it again could repeat a write.
    bool outcome_unknown = false;
};

inline constexpr std::uint8_t kScsiStatusGood = 0x00;
inline constexpr std::uint8_t kScsiStatusCheckCondition = 0x02;

class DevicePlatform {
  public:
    virtual ~DevicePlatform() = default;

    virtual DiskListing ListDiskInterfaces() = 0;

    // Opens a disk exclusively; kInvalidDeviceHandle when it cannot.
    virtual DeviceHandle OpenExclusive(std::u16string_view path) = 0;

    // Why the last OpenExclusive that failed could not open its disk, in the system's own words
    // (the errno text on Linux and what holds the disk, the Windows error code and text). UTF-8;
    // never empty after a failed open.
    virtual std::string LastOpenError() const = 0;

    // The parent USB device's instance id ("USB\VID_vvvv&PID_pppp\serial") of the disk behind an
    // open handle, as the platform proved it when it opened the disk; empty for a handle that is
    // not open. The tool compares it with the product it found, so that a path that now names
    // another disk never receives a command.
    virtual std::u16string OpenedParentDeviceId(DeviceHandle handle) const = 0;

    // Closing kInvalidDeviceHandle does nothing.
    virtual void Close(DeviceHandle handle) = 0;

    virtual PassThroughResult PassThrough(DeviceHandle handle,
                                          const PassThroughRequest& request) = 0;
};

// Device-change event types, as the window receives them. Anything else is not a device change.
inline constexpr std::uint32_t kDeviceArrival = 0x8000;
inline constexpr std::uint32_t kDeviceRemoveComplete = 0x8004;

}  // namespace torvex

#pragma once
// The request record of IOCTL_SCSI_PASS_THROUGH_DIRECT: the platform's SCSI_PASS_THROUGH_DIRECT
// header followed by the sense area, one buffer that is both input and output of the request.
// Building it and reading the answer back need no device.

#include <windows.h>
// windows.h first: the storage headers rely on its types.
#include <ntddscsi.h>

#include <cstddef>
#include <cstdint>

#include "device/device_platform.h"

namespace torvex::windows {

inline constexpr DWORD kScsiPassThroughDirect = 0x4D014;
static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == kScsiPassThroughDirect);

struct PassThroughRecord {
    SCSI_PASS_THROUGH_DIRECT header;
    UCHAR sense[kSenseLength];
};

// Builds the record for one request: Length is the header's size, the sense area follows it,
// the CDB is copied for at most 16 bytes (the rest stays zero), DataIn is the caller's flag
// (also for a request without data, as the product was qualified with), DataBuffer is
// `data_buffer` (null when the request moves no data).
PassThroughRecord BuildPassThroughRecord(const PassThroughRequest& request, void* data_buffer);

// What the completed (or failed) request says: the SCSI status the stack wrote, and the sense
// bytes it returned when the status is not GOOD. `delivered` is the result of DeviceIoControl.
PassThroughResult ReadPassThroughRecord(const PassThroughRecord& record, bool delivered);

// The layout of the documented 140-byte request, which the platform's header has on 32-bit
// Windows. On 64-bit Windows the header is larger (DataBuffer is a 64-bit pointer: 56 bytes,
// the sense area at 56, 152 in all); the fields before DataBuffer stay where they are.
namespace layout32 {
inline constexpr std::size_t kHeaderSize = 44;
inline constexpr std::size_t kRecordSize = 140;
inline constexpr std::size_t kDataTransferLength = 12;
inline constexpr std::size_t kTimeOutValue = 16;
inline constexpr std::size_t kDataBuffer = 20;
inline constexpr std::size_t kSenseInfoOffset = 24;
inline constexpr std::size_t kCdb = 28;
}  // namespace layout32

}  // namespace torvex::windows

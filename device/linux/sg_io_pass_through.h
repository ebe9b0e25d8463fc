#pragma once
// One vendor command through the kernel's SG_IO on an open disk. The caller's buffer is used in
// place; length 0 means no data phase. A request counts as delivered only when the ioctl
// succeeded and neither the host adapter nor the driver reports an error or a time-out; the
// target's status byte and sense data are kept either way, with a short diagnostic.

#include <scsi/sg.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "device/device_platform.h"

namespace torvex::linux_backend {

// host_status values the back end tells apart (the kernel's DID_* codes).
inline constexpr std::uint16_t kHostOk = 0x00;
inline constexpr std::uint16_t kHostNoConnect = 0x01;
inline constexpr std::uint16_t kHostTimeOut = 0x03;
// driver_status: a three-bit code, the sense flag and suggestion bits (the kernel's DRIVER_*).
inline constexpr std::uint16_t kDriverCodeMask = 0x07;
inline constexpr std::uint16_t kDriverTimeout = 0x06;
inline constexpr std::uint16_t kDriverSenseFlag = 0x08;

// Why a request cannot be sent at all (bad CDB length, data without a buffer); empty when fine.
std::optional<std::string> RequestProblem(const PassThroughRequest& request);

// The header for a request that passed RequestProblem; sense lands in sense_buffer.
sg_io_hdr_t BuildSgIoHeader(const PassThroughRequest& request,
                            std::array<std::uint8_t, kSenseLength>& sense_buffer);

// What the port reports for one ioctl outcome: its return value, errno and the header after it.
PassThroughResult InterpretSgIo(int ioctl_result, int error_number, const sg_io_hdr_t& header,
                                const std::array<std::uint8_t, kSenseLength>& sense_buffer);

PassThroughResult SendSgIo(int fd, const PassThroughRequest& request);

}  // namespace torvex::linux_backend

#pragma once
// SendSCSICommand: carries one vendor command to the product and back. Up to three attempts;
// each failed attempt leaves one line in the status log. The result is exactly 1 or 0. The
// request of the last attempt (status, sense, the platform's diagnostic) stays available to the
// caller, for the steps that must also fail on a non-GOOD SCSI status.

#include <cstdint>

#include "app/status_log.h"
#include "device/device_platform.h"

namespace torvex {

inline constexpr int kTransportAttempts = 3;

class ScsiTransport {
public:
    ScsiTransport(StatusLog& log, DevicePlatform& platform) : log_(log), platform_(platform) {}

    // data_in receives the reply of a data-in command; data_out is the source of a data-out
    // command; either may be null when length is 0. A CDB longer than 16 bytes is cut to 16.
    int SendSCSICommand(DeviceHandle device, std::uint8_t* data_in, const std::uint8_t* data_out,
                        std::uint32_t length, std::uint8_t direction, const std::uint8_t* cdb,
                        std::uint8_t cdb_length);

    // The request of the last attempt of the last SendSCSICommand.
    const PassThroughResult& LastResult() const { return last_; }

    // True when the last command was delivered and the product answered GOOD.
    bool LastCompletedGood() const {
        return last_.delivered && last_.scsi_status == kScsiStatusGood;
    }

    DevicePlatform& Platform() { return platform_; }

private:
    StatusLog& log_;
    DevicePlatform& platform_;
    PassThroughResult last_;
};

// Sends ISP_CMD_EXECUTE (the 11-byte FF A0 02 block, no data); the outcome is not used and the
// result is always 0.
int SendIspExecute(ScsiTransport& transport, DeviceHandle device);

}  // namespace torvex

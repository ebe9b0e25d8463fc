#pragma once
// SendSCSICommand: carries one vendor command to the product and back. Up to three attempts, but
// none after one whose outcome the platform cannot know (the product may hold that request); each
// failed attempt leaves one line in the status log. The result is exactly 1 or 0. The
// request of the last attempt (status, sense, the platform's diagnostic) stays available to the
// caller, for the steps that must also fail on a non-GOOD SCSI status; what went wrong with a
// request also goes, in the platform's own words, to a diagnostic sink when one is set.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "base/status_log.h"
#include "device/device_platform.h"

namespace torvex {

inline constexpr int kTransportAttempts = 3;

// The data phase of one command. The span's size is the transfer length; a span of size 0 moves
// no data (a command in direction In still names its reply area, as the product was qualified
// with).
struct DataPhase {
    DataDirection direction = DataDirection::In;
    std::span<std::uint8_t> reply;          // direction In: the reply lands here, in place
    std::span<const std::uint8_t> payload;  // direction Out: sent from here, in place

    static DataPhase In(std::span<std::uint8_t> reply) { return {DataDirection::In, reply, {}}; }
    static DataPhase Out(std::span<const std::uint8_t> payload) {
        return {DataDirection::Out, {}, payload};
    }
    static DataPhase None(DataDirection direction) { return {direction, {}, {}}; }
};

// One line per request the platform did not deliver, or that the product completed with a
// status other than GOOD: the command block, the attempt and the platform's words. For people
// (the runner's --verbose, the window's logging category), never for the status log.
using TransportDiagnosticSink = std::function<void(const std::string& line)>;

class ScsiTransport {
  public:
    ScsiTransport(StatusLog& log, DevicePlatform& platform) : log_(log), platform_(platform) {}

    // At most 16 bytes of the command block are sent.
    int SendSCSICommand(DeviceHandle device, std::span<const std::uint8_t> cdb, DataPhase data);

    // The request of the last attempt of the last SendSCSICommand.
    const PassThroughResult& LastResult() const { return last_; }

    // True when the last command was delivered and the product answered GOOD.
    bool LastCompletedGood() const {
        return last_.delivered && last_.scsi_status == kScsiStatusGood;
    }

    void SetDiagnosticSink(TransportDiagnosticSink sink) { diagnostics_ = std::move(sink); }

    DevicePlatform& Platform() { return platform_; }
    StatusLog& Log() { return log_; }

  private:
    void Diagnose(std::span<const std::uint8_t> cdb, const DataPhase& data, int attempt) const;

    StatusLog& log_;
    DevicePlatform& platform_;
    PassThroughResult last_;
    TransportDiagnosticSink diagnostics_;
};

}  // namespace torvex

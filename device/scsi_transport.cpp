#include "device/scsi_transport.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base/hex_text.h"
#include "base/text.h"

namespace torvex {

namespace {

std::uint32_t LengthOf(const DataPhase& data) {
    const std::size_t bytes =
        data.direction == DataDirection::In ? data.reply.size() : data.payload.size();
    return static_cast<std::uint32_t>(bytes);
}

std::string Hex(std::span<const std::uint8_t> bytes) {
    return HexText(bytes, HexDigits::Upper, " ");
}

}  // namespace

int ScsiTransport::SendSCSICommand(DeviceHandle device, std::span<const std::uint8_t> cdb,
                                   DataPhase data) {
    // The request is built once and sent unchanged on every attempt.
    std::array<std::uint8_t, kMaxCdbLength> cdb_field{};
    const std::size_t copied = std::min(cdb.size(), kMaxCdbLength);
    std::copy_n(cdb.begin(), copied, cdb_field.begin());

    PassThroughRequest request;
    request.cdb = std::span<const std::uint8_t>(cdb_field.data(), copied);
    request.direction = data.direction;
    request.data_in = data.direction == DataDirection::In ? data.reply.data() : nullptr;
    request.data_out = data.direction == DataDirection::Out ? data.payload.data() : nullptr;
    request.length = LengthOf(data);
    request.timeout_seconds = kPassThroughTimeoutSeconds;

    for (int attempt = 1; attempt <= kTransportAttempts; ++attempt) {
        last_ = platform_.PassThrough(device, request);
        if (!last_.delivered || last_.scsi_status != kScsiStatusGood)
            Diagnose(request.cdb, data, attempt);
        if (last_.delivered) return 1;
        // The status byte is 0 unless the platform wrote one into the failed request.
        log_.AppendStatusLine(
            FormatText("SendSCSICommand FAIL : >0x%x<", static_cast<unsigned>(last_.scsi_status)));
        // The device may hold this very request: another attempt could carry it twice.
        if (last_.outcome_unknown) break;
    }
    return 0;
}

void ScsiTransport::Diagnose(std::span<const std::uint8_t> cdb, const DataPhase& data,
                             int attempt) const {
    if (!diagnostics_) return;
    std::string line = "command " + Hex(cdb) + " (" +
                       (data.direction == DataDirection::In ? "in" : "out") + ", " +
                       std::to_string(LengthOf(data)) + " bytes), attempt " +
                       std::to_string(attempt) + " of " + std::to_string(kTransportAttempts) + ": ";
    if (last_.delivered) {
        char status[48];
        std::snprintf(status, sizeof status, "completed with SCSI status 0x%02X",
                      static_cast<unsigned>(last_.scsi_status));
        line += status;
    } else {
        line += "not delivered";
    }
    // The platform's own words where it has them, else the sense data the target returned.
    if (!last_.diagnostic.empty())
        line += ": " + last_.diagnostic;
    else if (last_.sense_length > 0)
        line +=
            ", sense " + Hex(std::span<const std::uint8_t>(last_.sense.data(), last_.sense_length));
    // One line, whatever the platform's words hold (a system message may carry line breaks).
    std::replace_if(
        line.begin(), line.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; }, ' ');
    diagnostics_(line);
}

}  // namespace torvex

#include "device/scsi_transport.h"

#include <algorithm>
#include <array>

#include "app/text.h"
#include "device/isp_commands.h"

namespace torvex {

int ScsiTransport::SendSCSICommand(DeviceHandle device, std::uint8_t* data_in,
                                   const std::uint8_t* data_out, std::uint32_t length,
                                   std::uint8_t direction, const std::uint8_t* cdb,
                                   std::uint8_t cdb_length) {
    // The request is built once and sent unchanged on every attempt.
    std::array<std::uint8_t, kMaxCdbLength> cdb_field{};
    const std::size_t copied = std::min<std::size_t>(cdb_length, kMaxCdbLength);
    if (cdb != nullptr) std::copy_n(cdb, copied, cdb_field.begin());

    PassThroughRequest request;
    request.cdb = std::span<const std::uint8_t>(cdb_field.data(), copied);
    request.direction = direction == 0 ? DataDirection::Out : DataDirection::In;
    request.data_in = data_in;
    request.data_out = data_out;
    request.length = length;
    request.timeout_seconds = kPassThroughTimeoutSeconds;

    for (int attempt = 1; attempt <= kTransportAttempts; ++attempt) {
        last_ = platform_.PassThrough(device, request);
        if (last_.delivered) return 1;
        // The status byte is 0 unless the platform wrote one into the failed request.
        log_.AppendStatusLine(
            FormatText("SendSCSICommand FAIL : >0x%x<", static_cast<unsigned>(last_.scsi_status)));
    }
    return 0;
}

int SendIspExecute(ScsiTransport& transport, DeviceHandle device) {
    const auto cdb = IspExecuteCommandBlock();
    transport.SendSCSICommand(device, nullptr, nullptr, 0,
                              static_cast<std::uint8_t>(DataDirection::In), cdb.data(),
                              static_cast<std::uint8_t>(cdb.size()));
    return 0;
}

}  // namespace torvex

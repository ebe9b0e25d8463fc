#include "device/linux/sg_io_pass_through.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <system_error>

#include "base/hex_text.h"

namespace torvex::linux_backend {
namespace {

constexpr std::uint32_t kMillisecondsPerSecond = 1000;
constexpr std::size_t kSenseBytesInDiagnostic = 18;  // the fixed-format sense header

std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value & 0xFFFFu);
    return text;
}

TransportError ErrorOfErrno(int error_number) {
    switch (error_number) {
        case ENODEV:
        case ENXIO:
            return TransportError::NoDevice;
        case EPERM:
        case EACCES:
            return TransportError::PermissionDenied;
        case ETIMEDOUT:
            return TransportError::Timeout;
        default:
            return TransportError::Other;
    }
}

// The transport-level failure reported by host_status and driver_status, if any.
TransportError ErrorOfStatus(const sg_io_hdr_t& header) {
    const unsigned driver_code = header.driver_status & kDriverCodeMask;
    if (header.host_status == kHostTimeOut || driver_code == kDriverTimeout) {
        return TransportError::Timeout;
    }
    if (header.host_status == kHostNoConnect) return TransportError::NoDevice;
    if (header.host_status != kHostOk || driver_code != 0) return TransportError::Other;
    return TransportError::None;
}

std::string StatusDiagnostic(const sg_io_hdr_t& header, const PassThroughResult& result) {
    std::string text = "SG_IO status " + Hex(header.status) + " host_status " +
                       Hex(header.host_status) + " driver_status " + Hex(header.driver_status);
    if (result.error == TransportError::Timeout) text += " (time-out)";
    if (result.sense_length > 0) {
        text += " sense";
        const std::size_t shown =
            std::min<std::size_t>(result.sense_length, kSenseBytesInDiagnostic);
        text += ' ' + HexText(std::span(result.sense.data(), shown), HexDigits::Lower, " ");
    }
    return text;
}

}  // namespace

std::optional<std::string> RequestProblem(const PassThroughRequest& request) {
    if (request.cdb.empty() || request.cdb.size() > kMaxCdbLength) {
        return "command block of " + std::to_string(request.cdb.size()) + " bytes";
    }
    if (request.length > 0) {
        const bool has_buffer = request.direction == DataDirection::In
                                    ? request.data_in != nullptr
                                    : request.data_out != nullptr;
        if (!has_buffer) return "data length " + std::to_string(request.length) + " without buffer";
    }
    return std::nullopt;
}

sg_io_hdr_t BuildSgIoHeader(const PassThroughRequest& request,
                            std::array<std::uint8_t, kSenseLength>& sense_buffer) {
    sg_io_hdr_t header{};
    header.interface_id = 'S';
    header.cmd_len = static_cast<unsigned char>(request.cdb.size());
    header.cmdp = const_cast<unsigned char*>(request.cdb.data());
    header.mx_sb_len = static_cast<unsigned char>(sense_buffer.size());
    header.sbp = sense_buffer.data();
    header.dxfer_len = request.length;
    if (request.length == 0) {
        header.dxfer_direction = SG_DXFER_NONE;
    } else if (request.direction == DataDirection::In) {
        header.dxfer_direction = SG_DXFER_FROM_DEV;
        header.dxferp = request.data_in;
    } else {
        // SG_IO only reads a data-out buffer; the kernel's field is simply not const.
        header.dxfer_direction = SG_DXFER_TO_DEV;
        header.dxferp = const_cast<std::uint8_t*>(request.data_out);
    }
    const std::uint32_t seconds =
        request.timeout_seconds != 0 ? request.timeout_seconds : kPassThroughTimeoutSeconds;
    header.timeout = std::min<std::uint32_t>(seconds, UINT_MAX / kMillisecondsPerSecond) *
                     kMillisecondsPerSecond;
    return header;
}

PassThroughResult InterpretSgIo(int ioctl_result, int error_number, const sg_io_hdr_t& header,
                                const std::array<std::uint8_t, kSenseLength>& sense_buffer) {
    PassThroughResult result;
    if (ioctl_result < 0) {
        result.error = ErrorOfErrno(error_number);
        result.diagnostic = "SG_IO failed: " + std::generic_category().message(error_number) +
                            " (errno " + std::to_string(error_number) + ")";
        return result;
    }
    result.scsi_status = header.status;
    result.sense_length =
        static_cast<std::uint8_t>(std::min<std::size_t>(header.sb_len_wr, kSenseLength));
    std::copy_n(sense_buffer.begin(), result.sense_length, result.sense.begin());
    result.error = ErrorOfStatus(header);
    if (header.resid > 0)
        result.residual = std::min(static_cast<std::uint32_t>(header.resid), header.dxfer_len);
    result.delivered = result.error == TransportError::None;
    if (!result.delivered || result.scsi_status != kScsiStatusGood) {
        result.diagnostic = StatusDiagnostic(header, result);
    }
    return result;
}

PassThroughResult SendSgIo(int fd, const PassThroughRequest& request) {
    if (auto problem = RequestProblem(request)) {
        PassThroughResult refused;
        refused.error = TransportError::Other;
        refused.diagnostic = "request not sent: " + *problem;
        return refused;
    }
    std::array<std::uint8_t, kSenseLength> sense{};
    sg_io_hdr_t header = BuildSgIoHeader(request, sense);
    // Not retried on EINTR: the command may already have reached the product.
    const int outcome = ioctl(fd, SG_IO, &header);
    const int error_number = outcome < 0 ? errno : 0;
    PassThroughResult result = InterpretSgIo(outcome, error_number, header, sense);
    result.outcome_unknown = outcome < 0 && error_number == EINTR;
    return result;
}

}  // namespace torvex::linux_backend

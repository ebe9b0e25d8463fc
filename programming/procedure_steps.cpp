#include "programming/procedure_steps.h"

#include "app/text.h"

namespace torvex {

namespace {
constexpr std::uint8_t In = static_cast<std::uint8_t>(DataDirection::In);
constexpr std::uint8_t Out = static_cast<std::uint8_t>(DataDirection::Out);

// Sense key, additional sense code and qualifier, from fixed (0x70/0x71) or descriptor
// (0x72/0x73) sense data.
std::u16string StatusLine(const PassThroughResult& result) {
    const auto sense = [&](std::size_t i) -> unsigned {
        return i < result.sense_length ? result.sense[i] : 0u;
    };
    const bool descriptor = (sense(0) & 0x7Fu) >= 0x72;
    const unsigned key = (descriptor ? sense(1) : sense(2)) & 0x0Fu;
    const unsigned asc = descriptor ? sense(2) : sense(12);
    const unsigned ascq = descriptor ? sense(3) : sense(13);
    return FormatText("Device rejected the command: SCSI status 0x%02x, sense key 0x%x, "
                      "ASC 0x%02x, ASCQ 0x%02x",
                      static_cast<unsigned>(result.scsi_status), key, asc, ascq);
}
}  // namespace

bool ProcedureRun::SendNoDataIn() {
    return context_.transport.SendSCSICommand(device_, context_.shared_buffer.data(), nullptr, 0,
                                              In, block_.data(), block_.size()) != 0;
}

bool ProcedureRun::SendNoDataOut() {
    return context_.transport.SendSCSICommand(device_, nullptr, nullptr, 0, Out, block_.data(),
                                              block_.size()) != 0;
}

bool ProcedureRun::SendDataOut(std::span<const std::uint8_t> data) {
    return context_.transport.SendSCSICommand(device_, nullptr, data.data(),
                                              static_cast<std::uint32_t>(data.size()), Out,
                                              block_.data(), block_.size()) != 0;
}

bool ProcedureRun::AcceptedByProduct(bool sent) {
    if (!sent) return false;
    if (context_.transport.LastCompletedGood()) return true;
    Log(StatusLine(context_.transport.LastResult()));
    return false;
}

}  // namespace torvex

#include "programming/procedure_steps.h"

#include "base/status_log.h"
#include "base/text.h"

namespace torvex {

namespace {
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
    return FormatText(
        "Device rejected the command: SCSI status 0x%02x, sense key 0x%x, "
        "ASC 0x%02x, ASCQ 0x%02x",
        static_cast<unsigned>(result.scsi_status), key, asc, ascq);
}
}  // namespace

bool ProcedureRun::AcceptedByProduct(bool sent) {
    if (!sent) return false;
    if (product_.LastCompletedGood()) return true;
    Log(StatusLine(product_.LastResult()));
    return false;
}

}  // namespace torvex

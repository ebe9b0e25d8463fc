#pragma once
// What the two programming procedures share: one command block for the whole run, the three
// shapes of sending a step's command, and the rule that a program or checksum command fails when
// the product completes it with any status but GOOD (a rejected checksum must never pass).

#include <cstdint>
#include <span>
#include <string_view>

#include "app/tool_context.h"
#include "device/isp_commands.h"

namespace torvex {

inline constexpr std::u16string_view kStepFailLine = u"FAIL.";
inline constexpr std::u16string_view kSelectAesKeyLine = u"Select AES Key";

class ProcedureRun {
public:
    ProcedureRun(ToolContext& context, DeviceHandle device) : context_(context), device_(device) {}

    IspCommandBlock& Block() { return block_; }
    void Log(std::u16string_view line) { context_.log.AppendStatusLine(line); }
    void StepProgress() { context_.window.StepProgress(); }
    // Logs the failure line of a step; the procedure then returns this result.
    int Fail() {
        Log(kStepFailLine);
        return 0;
    }

    // No data, direction in, the shared buffer named as buffer (erase and key commands).
    bool SendNoDataIn();
    // No data, direction out, no buffer (EF32_0 checksums, jumps).
    bool SendNoDataOut();
    // Data out from a firmware block slice, in place.
    bool SendDataOut(std::span<const std::uint8_t> data);

    // For program and checksum commands: the request was carried and the product answered GOOD.
    // A completed request with another status is reported in one line of its own.
    bool AcceptedByProduct(bool sent);

private:
    ToolContext& context_;
    DeviceHandle device_;
    IspCommandBlock block_;
};

}  // namespace torvex

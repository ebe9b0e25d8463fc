#include "programming/ef32_programming.h"

#include "base/text.h"
#include "firmware/identity_queries.h"
#include "programming/procedure_steps.h"

namespace torvex {

namespace {
// One 64 KB chunk: the whole main-memory image.
constexpr std::int8_t kMainMemoryChunks = 1;
}  // namespace

int Run_Code_at_EF64_ISP_EF32_0_OTA(ProductConnection& product, WindowPort& window,
                                    BankSlices slices, MaskCode mask_variant) {
    ProcedureRun run(product, window);
    IspCommandBlock& block = run.Block();
    run.Log(u"Run_Code_at_EF64_ISP_EF32_0_OTA");

    const auto main_memory = slices.main_memory;
    const auto info_page = slices.info_page;
    if (main_memory.empty() || info_page.empty()) {
        run.Log(kAbsentFirmwareBlockLine);
        return run.Fail();
    }

    run.Log(kSelectAesKeyLine);
    if (!run.Send(vendor::SelectKey(block, kKeySlotMainMemory, run.Replies()))) return run.Fail();
    run.StepProgress();

    run.Log(u"ISP EF32_0 Main Memory");
    for (std::int8_t chunk = 0; chunk < kMainMemoryChunks; ++chunk) {
        run.Log(FormatText("%ldth * 64KB", static_cast<long>(chunk)));
        const auto chunk_number = static_cast<std::uint8_t>(chunk);
        if (!run.AcceptedByProduct(
                run.Send(vendor::ProgramEf32Main(block, chunk_number, main_memory))))
            return run.Fail();

        run.Log(u"Check EF32_0 Main Memory Checksum");
        if (!run.AcceptedByProduct(run.Send(vendor::CheckEf32Main(block, chunk_number))))
            return run.Fail();
    }

    run.Log(kSelectAesKeyLine);
    if (!run.Send(vendor::SelectKey(block, kKeySlotInfoPage, run.Replies()))) return run.Fail();
    run.StepProgress();

    // Both information pages are written from the same 128 bytes.
    run.Log(u"ISP EF32 Information Page_0");
    if (!run.AcceptedByProduct(run.Send(vendor::ProgramEf32Info(block, 0, info_page))))
        return run.Fail();

    run.Log(u"Check EF32 Information Page_0 Checksum");
    if (!run.AcceptedByProduct(run.Send(vendor::CheckEf32Info(block, 0)))) return run.Fail();
    run.StepProgress();

    run.Log(u"ISP EF32 Information Page_1");
    if (!run.AcceptedByProduct(run.Send(vendor::ProgramEf32Info(block, 1, info_page))))
        return run.Fail();

    run.Log(u"Check EF32 Information Page_1 Checksum");
    if (!run.AcceptedByProduct(run.Send(vendor::CheckEf32Info(block, 1)))) return run.Fail();

    // Mask code 0210 goes on with the EF64 bank, whose own jump follows.
    if (mask_variant != MaskCode::Mask0210) {
        run.Log(u"Jump to EFlash");
        run.Send(vendor::JumpEf32(block));  // byte 2 still holds page 1
    }
    return 1;
}

}  // namespace torvex

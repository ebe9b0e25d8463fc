#include "programming/ef64_programming.h"

#include "firmware/identity_queries.h"
#include "programming/procedure_steps.h"

namespace torvex {

namespace {

// The nine steps, shared by both variants; the dialect holds what differs.
int RunEf64Procedure(ProductConnection& product, WindowPort& window, BankSlices slices,
                     const IspDialect& dialect) {
    ProcedureRun run(product, window);
    IspCommandBlock& block = run.Block();
    if (!dialect.banner.empty()) run.Log(dialect.banner);

    const auto main_memory = slices.main_memory;
    const auto info_page = slices.info_page;
    // Never erase a bank that cannot be written again.
    if (main_memory.empty() || info_page.empty()) {
        run.Log(kAbsentFirmwareBlockLine);
        return run.Fail();
    }

    // Erase failures are reported and passed: the following steps decide.
    run.Log(u"Erase EF64*8 Main Memory");
    if (!run.Send(vendor::EraseEf64(block, FlashArea::MainMemory, run.Replies())))
        run.Log(kStepFailLine);

    run.Log(u"Erase EF64*8 Information Page");
    if (!run.Send(vendor::EraseEf64(block, FlashArea::InfoPage, run.Replies())))
        run.Log(kStepFailLine);

    run.Log(kSelectAesKeyLine);
    if (!run.Send(vendor::SelectKey(block, kKeySlotMainMemory, run.Replies()))) return run.Fail();
    run.StepProgress();

    run.Log(u"Program EF64K*8 Main Memory");
    if (!run.AcceptedByProduct(
            run.Send(vendor::ProgramEf64(block, dialect, FlashArea::MainMemory, main_memory))))
        return run.Fail();
    run.StepProgress();

    run.Log(u"EF64K*8 Main Memory Checksum");
    if (!run.AcceptedByProduct(
            run.Send(vendor::CheckEf64(block, FlashArea::MainMemory, run.Replies()))))
        return run.Fail();

    run.Log(kSelectAesKeyLine);
    if (!run.Send(vendor::SelectKey(block, kKeySlotInfoPage, run.Replies()))) return run.Fail();
    run.StepProgress();

    run.Log(u"Program EF64K*8 Information Page");
    if (!run.AcceptedByProduct(
            run.Send(vendor::ProgramEf64(block, dialect, FlashArea::InfoPage, info_page))))
        return run.Fail();
    run.StepProgress();

    run.Log(u"EF64K*8 Information Page Checksum");
    if (!run.AcceptedByProduct(
            run.Send(vendor::CheckEf64(block, FlashArea::InfoPage, run.Replies()))))
        return run.Fail();
    run.StepProgress();

    // The jump's outcome is not examined: the product leaves either way.
    run.Log(dialect.jump_line);
    run.Send(vendor::JumpEf64(block));
    return 1;
}

}  // namespace

int Run_Code_at_Mask0210_or_OTA_ISP_EF64(ProductConnection& product, WindowPort& window,
                                         BankSlices slices) {
    return RunEf64Procedure(product, window, slices, MaskOtaDialect);
}

int Run_Code_at_Protect_ISP_EF64(ProductConnection& product, WindowPort& window,
                                 BankSlices slices) {
    return RunEf64Procedure(product, window, slices, ProtectIspDialect);
}

}  // namespace torvex

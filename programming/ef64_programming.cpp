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
    block.Write(ISP_CMD_ERASE_EF64_MAIN, 0);
    if (!run.SendNoDataIn()) run.Log(kStepFailLine);

    run.Log(u"Erase EF64*8 Information Page");
    block.Write(ISP_CMD_ERASE_EF64_INFO, 0);
    if (!run.SendNoDataIn()) run.Log(kStepFailLine);

    run.Log(kSelectAesKeyLine);
    block.Write(ISP_CMD_SELECT_AES_KEY, kKeySlotMainMemory);
    if (!run.SendNoDataIn()) return run.Fail();
    run.StepProgress();

    run.Log(u"Program EF64K*8 Main Memory");
    block.Write(dialect.program_main, 0);
    if (dialect.guard_bytes_from_program_main) block.WriteProgramGuardBytes();
    if (!run.AcceptedByProduct(run.SendDataOut(main_memory))) return run.Fail();
    run.StepProgress();

    run.Log(u"EF64K*8 Main Memory Checksum");
    block.Write(ISP_CMD_CHECK_EF64_MAIN, 0);
    if (!run.AcceptedByProduct(run.SendNoDataIn())) return run.Fail();

    run.Log(kSelectAesKeyLine);
    block.Write(ISP_CMD_SELECT_AES_KEY, kKeySlotInfoPage);
    if (!run.SendNoDataIn()) return run.Fail();
    run.StepProgress();

    run.Log(u"Program EF64K*8 Information Page");
    block.Write(dialect.program_info, 0);
    if (!run.AcceptedByProduct(run.SendDataOut(info_page))) return run.Fail();
    run.StepProgress();

    run.Log(u"EF64K*8 Information Page Checksum");
    block.Write(ISP_CMD_CHECK_EF64_INFO, 0);
    if (!run.AcceptedByProduct(run.SendNoDataIn())) return run.Fail();
    run.StepProgress();

    // The jump's outcome is not examined: the product leaves either way.
    run.Log(dialect.jump_line);
    block.Write(ISP_CMD_JUMP_EF64, 0);
    run.SendNoDataOut();
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

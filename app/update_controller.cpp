#include "app/update_controller.h"

#include "app/controller_state.h"
#include "app/update_plan.h"
#include "app/user_messages.h"
#include "base/status_log.h"
#include "base/window_port.h"
#include "device/product_connection.h"
#include "firmware/embedded_images.h"
#include "programming/ef32_programming.h"
#include "programming/ef64_programming.h"

namespace torvex {

namespace {

// One run of the controller, with the handle it opened.
class UpdateRun {
  public:
    explicit UpdateRun(ToolContext& context)
        : context_(context),
          state_(context.state),
          plan_(PlanUpdate(context.state)),
          product_(context.transport, context.shared_buffer) {}
    void Run();

  private:
    void Log(std::u16string_view line) { context_.log.AppendStatusLine(line); }
    void Close() { product_.Close(); }
    void ShowUpdating() {
        SetStatusPicture(context_.window, StatusPicture::Updating);
        context_.window.ForceRepaint();
    }

    bool UsesGroup1() const { return plan_.group == ImageGroup::Group1; }

    void MaskCodeBranch();
    void ApplicationOrOtaBranch();
    void ApplicationCode();
    void ProtectIspBranch();

    bool Ef32Step();
    int Ef64Step();
    void EndAfterEf64(int result);

    void SuccessEnding();
    // `reason`: a line of its own after the first (why the product could not be opened).
    void FailureEnding(std::u16string_view first_line, std::u16string_view reason = {});
    void NotSupportedEnding(std::u16string_view first_line);
    void RefusedEnding();

    ToolContext& context_;
    ControllerState& state_;
    const UpdatePlan plan_;
    ProductConnection product_;
};

void UpdateRun::Run() {
    Log(u"Button2...");
    if (plan_.path == UpdatePath::Refused) return RefusedEnding();
    if (!product_.Open(state_.DevicePath, state_.ProductIdentity))
        return FailureEnding(kOpenFailedLine, product_.FailureReason());

    switch (plan_.path) {
        case UpdatePath::MaskCode0110:
        case UpdatePath::MaskCode0210:
            return MaskCodeBranch();
        case UpdatePath::OtaCode:
        case UpdatePath::ApplicationAntique:
        case UpdatePath::ApplicationOld:
        case UpdatePath::ApplicationUnchecked:
        case UpdatePath::AlreadyUpdated:
            return ApplicationOrOtaBranch();
        case UpdatePath::ProtectIsp:
            return ProtectIspBranch();
        default:
            return NotSupportedEnding(u"Other Code");
    }
}

void UpdateRun::MaskCodeBranch() {
    Log(u"Run Code at Mask...");
    if (plan_.path == UpdatePath::MaskCode0110) return NotSupportedEnding(u"Mask 0110....");
    Log(u"Mask 0210....");
    state_.ReplugTicks = 1;
    ShowUpdating();
    if (!Ef32Step()) return FailureEnding(u"FAIL");
    EndAfterEf64(Ef64Step());
}

void UpdateRun::ApplicationOrOtaBranch() {
    context_.log.AppendSecondaryLine(u"DUT FW Updating...");
    if (plan_.path != UpdatePath::OtaCode) return ApplicationCode();
    Log(u"Run Code at OTA ");
    state_.ReplugTicks = 1;
    ShowUpdating();
    EndAfterEf64(Ef64Step());
}

void UpdateRun::ApplicationCode() {
    Log(u"Run Code at Application ");
    switch (plan_.path) {
        case UpdatePath::ApplicationAntique:
            // The product is sent to its OTA code; the timer resumes when it is back.
            Log(u"EF64_Antique  -  ISP_CMD_EXECUTE");
            state_.RestartPending = 1;
            state_.AppCodeRunning = 0;
            state_.ReplugTicks = 1;
            ShowUpdating();
            context_.window.ReportUpdateWriting();
            SendIspExecute(product_);
            state_.DeviceFound = 0;
            return Close();
        case UpdatePath::ApplicationOld:
            Log(u"EF64_Old");
            state_.RestartPending = 1;
            state_.AppCodeRunning = 0;
            state_.ReplugTicks = 1;
            ShowUpdating();
            break;
        case UpdatePath::AlreadyUpdated:
            Log(state_.Ef64VersionClass == Ef64Class::Current ? u"EF64_current" : u"EF64_New");
            state_.RestartPending = 0;
            context_.window.ReportRunEnding(RunEnding::AlreadyUpdated);
            context_.window.ShowMessageBox(kAlreadyUpdatedMessage);
            return Close();
        default:
            break;
    }
    // Old, or not yet classed: write EF32_0 when the plan does; its jump sends the product to
    // its OTA code.
    state_.ReplugTicks = 1;
    if (plan_.ef32 && !Ef32Step()) return FailureEnding(u"FAIL.");
    state_.DeviceFound = 0;
    Close();
}

void UpdateRun::ProtectIspBranch() {
    state_.ReplugTicks = 1;
    ShowUpdating();
    Log(u"Run Code at Protect ISP EF64");
    if (Ef64Step() == 1) return SuccessEnding();
    FailureEnding(u"FAIL.");
}

bool UpdateRun::Ef32Step() {
    context_.window.ReportUpdateWriting();
    Log(UsesGroup1() ? u"ISP EF32_0 - *.BinX  (Group_1)" : u"ISP EF32_0 - *.BinX  (Group_2)");
    const BankSlices slices = SlicesFor(context_.images, Bank::Ef32_0, plan_.group);
    return Run_Code_at_EF64_ISP_EF32_0_OTA(product_, context_.window, slices, state_.MaskVariant) !=
           0;
}

int UpdateRun::Ef64Step() {
    context_.window.ReportUpdateWriting();
    Log(UsesGroup1() ? u"ISP EF64 - *.BinX  (Group_1)" : u"ISP EF64 - *.BinX  (Group_2)");
    const BankSlices slices = SlicesFor(context_.images, Bank::Ef64, plan_.group);
    return plan_.dialect == &ProtectIspDialect
               ? Run_Code_at_Protect_ISP_EF64(product_, context_.window, slices)
               : Run_Code_at_Mask0210_or_OTA_ISP_EF64(product_, context_.window, slices);
}

// The mask-code and OTA paths forget the mask variant after the EF64 step, whatever its result.
void UpdateRun::EndAfterEf64(int result) {
    state_.MaskVariant = MaskCode::Mask0110;
    if (result == 1) return SuccessEnding();
    FailureEnding(u"FAIL.");
}

void UpdateRun::SuccessEnding() {
    Log(u"PASS.");
    Close();
    state_.RestartPending = 0;
    state_.ReplugTicks = 0;
    Log(kUpdateCompleteLine);
    SetStatusPicture(context_.window, StatusPicture::Complete);
    context_.window.ResetProgress();
    state_.PictureHold = 5;
    context_.window.ReportRunEnding(RunEnding::Success);
}

void UpdateRun::FailureEnding(std::u16string_view first_line, std::u16string_view reason) {
    Log(first_line);
    if (!reason.empty()) Log(std::u16string(kOpenFailureReasonPrefix) + std::u16string(reason));
    state_.DeviceFound = 0;
    Close();
    state_.AutoRestart = 0;
    state_.RestartPending = 0;
    state_.ReplugTicks = 0;
    Log(u"Updat FW.... FAIL !!");
    Log(u"");
    SetStatusPicture(context_.window, StatusPicture::Fail);
    context_.window.ResetProgress();
    state_.PictureHold = 5;
    context_.window.ReportRunEnding(RunEnding::Failure);
    context_.window.ShowMessageBox(kReconnectMessage);
}

void UpdateRun::NotSupportedEnding(std::u16string_view first_line) {
    Log(first_line);
    Close();
    SetStatusPicture(context_.window, StatusPicture::Fail);
    context_.window.ForceRepaint();
    state_.PictureHold = 20;
    context_.window.ReportRunEnding(RunEnding::NotSupported);
    context_.window.ShowMessageBox(kNotSupportedMessage);
}

// Nothing is opened or sent: the firmware this build carries must not reach the product.
void UpdateRun::RefusedEnding() {
    Log(state_.WriteRefusal.substr(0, state_.WriteRefusal.find(u'\r')));
    SetStatusPicture(context_.window, StatusPicture::Fail);
    context_.window.ForceRepaint();
    state_.PictureHold = 5;
    context_.window.ReportRunEnding(RunEnding::NotSupported);
    context_.window.ShowMessageBox(state_.WriteRefusal);
}

}  // namespace

void OnUpdateFw(ToolContext& context) {
    UpdateRun(context).Run();
}

}  // namespace torvex

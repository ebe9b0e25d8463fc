// The whole tool driven by a fuzzed stream of ticks, clicks, device changes and Browse, over a
// product whose identity, presence and every answer come from the input. Message boxes run
// nested ticks and posted clicks, as a real box's event loop does.
//
// Invariants: no crash; outside a message box every opened handle is closed; "Update complete"
// is logged only when every checksum of that run was answered GOOD, both EF64 checksums among
// them.
//
// Input: bytes at even offsets are the actions (the product's first identity, then see Step),
// bytes at odd offsets say how the product answers each open and request (see ModelProduct);
// zeros, and the end of the input, mean "as the product would".

#include <map>
#include <vector>

#include "app/dialog_core.h"
#include "app/user_messages.h"
#include "base/text.h"
#include "fuzz/fuzz_product.h"
#include "fuzz/fuzz_tool.h"

namespace torvex::fuzz {
namespace {

constexpr int kMaxSteps = 400;
constexpr int kMaxNesting = 2;

class ControllerFuzz {
  public:
    ControllerFuzz(FuzzBytes& actions, FuzzBytes& answers)
        : in_(actions), answers_(answers), platform_(answers), core_(window_, platform_, Blocks()) {
        platform_.answer = [this](const PassThroughRequest& request, PassThroughResult& result) {
            product_.Answer(request, result, answers_.Byte(), answers_);
        };
        platform_.on_request = [this](const PassThroughRequest& request,
                                      const PassThroughResult& result) {
            Observe(request, result);
        };
        window_.on_message_box = [this](std::u16string_view) { NestedLoop(); };
        window_.on_line = [this](std::u16string_view line) {
            if (line == kUpdateCompleteLine) CheckSuccess();
        };
        Replug(in_.Byte());
    }

    void Run() {
        core_.OnInitDialog();
        for (int step = 0; step < kMaxSteps && !in_.Empty(); ++step) {
            Step(in_.Byte());
            Require(platform_.OpenHandles() == 0, "no handle outlives a handler");
            Require(platform_.bad_closes == 0, "no handle is closed twice or unopened");
        }
        // To see what an input does: TORVEX_FUZZ_LOG=1 fuzz_controller input
        if (std::getenv("TORVEX_FUZZ_LOG") != nullptr)
            for (const std::u16string& line : window_.lines)
                std::fprintf(stderr, "%s\n", ToUtf8(line).c_str());
    }

  private:
    // The product: 0 mask, 1 protected ISP, 2 application, 3 OTA code, 4 any USB ids, 5 no USB
    // disk.
    void Replug(std::uint8_t identity) {
        static const char16_t* const kParents[] = {
            u"USB\\VID_0A81&PID_0320\\0A81MASK0001", u"USB\\VID_0A81&PID_0321\\0A81ISP00001",
            u"USB\\VID_2175&PID_5001\\2175APP00001", u"USB\\VID_2175&PID_5001\\00000000EF320001"};
        DiskInterface disk;
        disk.compatible_ids = u"USBSTOR\\Disk";
        disk.path =
            u"fuzz://disk/" + std::u16string(1, static_cast<char16_t>(u'a' + generation_++ % 26));
        const unsigned kind = identity % 6u;
        if (kind < 4) disk.parent_device_id = kParents[kind];
        product_.application_code = kind != 3;
        if (kind == 4) disk.parent_device_id = in_.Text16(40);
        if (kind == 5) disk.compatible_ids = u"SCSI\\Disk";
        platform_.listing.disks.assign(1, disk);
    }

    void Step(std::uint8_t action) {
        switch (action % 8u) {
            case 0:
            case 1:
            case 2:
                return Tick();
            case 3:
                return Click();
            case 4:
                Replug(in_.Byte());
                return core_.OnDeviceChange(kDeviceArrival);
            case 5:  // the product leaves; its notification may be lost
                platform_.listing.disks.clear();
                if (in_.Bool()) core_.OnDeviceChange(kDeviceRemoveComplete);
                return;
            case 6:
                return core_.OnBrowseClosed(in_.Bool());
            default:
                return core_.OnDeviceChange(in_.U16());  // mostly no device change
        }
    }

    void Tick() {
        core_.OnReplugTimer();
        DispatchPostedClicks();
    }

    void DispatchPostedClicks() {
        while (clicks_run_ < window_.posted_clicks) {
            ++clicks_run_;
            Click();
        }
    }

    // Ticks, device changes and posted clicks go on inside a message box.
    void NestedLoop() {
        if (nesting_ >= kMaxNesting) return;
        ++nesting_;
        for (unsigned n = in_.Byte() % 4u; n > 0; --n) Step(in_.Byte());
        --nesting_;
    }

    void Click() {
        runs_.emplace_back();
        core_.OnUpdateFw();
        runs_.pop_back();
    }

    // The innermost run logged its success line.
    void CheckSuccess() {
        Require(!runs_.empty(), "success is logged by a run of Update F/W");
        const std::map<unsigned, bool>& checks = runs_.back();
        Require(checks.count(ISP_CMD_CHECK_EF64_MAIN) == 1 &&
                    checks.count(ISP_CMD_CHECK_EF64_INFO) == 1,
                "success only after both EF64 checksums");
        for (const auto& [command, good] : checks)
            Require(good, "no success while a checksum was rejected");
    }

    // Records the last answer to each checksum command of the innermost run.
    void Observe(const PassThroughRequest& request, const PassThroughResult& result) {
        if (runs_.empty() || request.cdb.size() < 3) return;
        const std::uint8_t op = request.cdb[1];
        if (op != ISP_CMD_CHECK_EF64_MAIN && op != ISP_CMD_CHECK_EF64_INFO &&
            op != ISP_CMD_CHECK_EF32_0_MAIN && op != ISP_CMD_CHECK_EF32_INFO)
            return;
        const unsigned key = op == ISP_CMD_CHECK_EF32_INFO ? op << 8 | request.cdb[2] : op;
        runs_.back()[key] = result.delivered && result.scsi_status == kScsiStatusGood;
    }

    FuzzBytes& in_;
    FuzzBytes& answers_;
    ModelProduct product_;
    LineWindow window_;
    FuzzPlatform platform_;
    DialogCore core_;
    std::vector<std::map<unsigned, bool>> runs_;
    int clicks_run_ = 0;
    int nesting_ = 0;
    unsigned generation_ = 0;
};

}  // namespace
}  // namespace torvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> streams[2];
    for (std::size_t i = 0; i < size; ++i) streams[i % 2].push_back(data[i]);
    torvex::fuzz::FuzzBytes actions(streams[0].data(), streams[0].size());
    torvex::fuzz::FuzzBytes answers(streams[1].data(), streams[1].size());
    auto tool = std::make_unique<torvex::fuzz::ControllerFuzz>(actions, answers);
    tool->Run();
    return 0;
}

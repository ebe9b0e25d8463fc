// Discovery over a listing made from the input: compatible ids, parent ids and paths of any
// length and content, well-formed product identities among them, opens that fail, and listing
// failures at any step.
//
// Input: a head byte (failure kind, disk count), then per disk a shape byte and its texts.

#include "app/controller_state_update.h"
#include "device/usb_found.h"
#include "fuzz/fuzz_tool.h"

namespace torvex::fuzz {
namespace {

std::u16string Hex4(std::uint16_t value, bool lower_case) {
    const char* digits = lower_case ? "0123456789abcdef" : "0123456789ABCDEF";
    std::u16string text;
    for (int shift = 12; shift >= 0; shift -= 4)
        text.push_back(static_cast<char16_t>(digits[(value >> shift) & 0xF]));
    return text;
}

// "USB\VID_vvvv&PID_pppp\serial" of one of the product's codes, or of any vendor and product.
std::u16string WellFormedParentId(FuzzBytes& in, std::uint8_t shape) {
    static constexpr std::uint16_t kPairs[3][2] = {
        {0x0A81, 0x0320}, {0x0A81, 0x0321}, {0x2175, 0x5001}};
    const unsigned pair = (shape >> 2) & 3u;
    const std::uint16_t vid = pair < 3 ? kPairs[pair][0] : in.U16();
    const std::uint16_t pid = pair < 3 ? kPairs[pair][1] : in.U16();
    const bool lower = (shape & 0x10u) != 0;
    std::u16string id = u"USB\\VID_" + Hex4(vid, lower) + u"&PID_" + Hex4(pid, lower) + u"\\";
    if ((shape & 0x20u) != 0) id += u"00000000EF32";
    return id + in.Text16(400);
}

DiskInterface ReadDisk(FuzzBytes& in) {
    const std::uint8_t shape = in.Byte();
    DiskInterface disk;
    disk.compatible_ids = in.Text16(300);
    if ((shape & 1u) != 0) disk.compatible_ids.insert(0, u"USBSTOR\\Disk");
    disk.parent_device_id = (shape & 2u) != 0 ? WellFormedParentId(in, shape) : in.Text16(700);
    disk.path = in.Text16(300);
    return disk;
}

void CheckResult(const FuzzTool& tool, std::uint16_t run_mode, const std::u16string& previous) {
    const ControllerState& state = tool.state;
    Require(run_mode == kRunModeNoDevice || run_mode == kRunModeMaskCode ||
                run_mode == kRunModeProtectIsp || run_mode == kRunModeAppOrOta,
            "RunMode is one of the accepted product ids");
    const std::uint16_t vendor = run_mode == kRunModeNoDevice   ? 0
                                 : run_mode == kRunModeAppOrOta ? kVendorAppAndOta
                                                                : kVendorBootAndIsp;
    Require(state.DeviceVid == vendor, "DeviceVid belongs to RunMode");
    Require(state.DevicePath.size() <= kDevicePathMaxUnits, "DevicePath fits its buffer");
    const auto& disks = tool.platform.listing.disks;
    Require(state.DevicePath == previous ||
                std::any_of(disks.begin(), disks.end(),
                            [&](const DiskInterface& d) { return d.path == state.DevicePath; }),
            "DevicePath is a listed path or what it was");
    for (const std::u16string& line : tool.window.lines)
        if (line.rfind(u"SN:", 0) == 0) Require(line.size() <= 79, "the SN line fits 80 units");
    Require(!tool.window.lines.empty(), "discovery always reports");
    const std::u16string& last = tool.window.lines.back();
    if (tool.platform.listing.failure == ListingFailure::InterfaceSet) {
        Require(tool.window.lines.size() == 1 && last == u"USBFound handle error",
                "a failed interface set ends discovery at once");
    } else {
        Require(last == (state.DeviceFound == 1 ? u"USB device found!" : u"USB device not found!"),
                "the last line tells whether a product was found");
    }
}

}  // namespace
}  // namespace torvex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torvex;
    using namespace torvex::fuzz;
    FuzzBytes in(data, size);
    auto tool = std::make_unique<FuzzTool>(in);
    const std::uint8_t head = in.Byte();
    tool->platform.listing.failure = static_cast<ListingFailure>(head % 5);
    for (unsigned i = 0; i < (head >> 3) % 9u; ++i)
        tool->platform.listing.disks.push_back(ReadDisk(in));
    const std::u16string previous = u"previous path";
    tool->state.DevicePath = previous;

    const std::uint16_t run_mode = USBFound(tool->context);
    CheckResult(*tool, run_mode, previous);
    tool->RequireHandlesBalanced();
    return 0;
}

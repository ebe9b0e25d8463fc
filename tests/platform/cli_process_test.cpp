// The headless runner on the real Linux back end, as scripts start it (see cli_child.h); the
// child is judged by its stdout, stderr and exit status. The child
// meets torvex-isp-helper on a bus of the test's own: without CAP_SYS_RAWIO its commands go
// there, as they do for an operator who runs it as the user.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/user_messages.h"
#include "base/text.h"
#include "device/linux/raw_scsi_access.h"
#include "simulator/product_presets.h"
#include "simulator/sample_firmware.h"
#include "tests/platform/cli_child.h"
#include "tests/platform/private_system_bus.h"
#include "tests/platform/virtual_product_node.h"

namespace torvex::testing {
namespace {

using Clock = std::chrono::steady_clock;

// How the runner is started: as this process is, or with CAP_SYS_RAWIO taken away (for a test
// run as root, the same as running it as the user).
enum class Rights { AsTheTest, WithoutRawAccess };

// Runs the runner to its end (see cli_child.h). While it runs, the product's clock follows the
// real time, so the product leaves and returns (and the fake disk is unplugged and plugged) as
// the child waits.
ChildRun RunCli(VirtualProductNode* node, const std::vector<std::string>& args,
                std::chrono::seconds limit, Rights rights = Rights::AsTheTest) {
    std::vector<std::string> launcher;
    if (rights == Rights::WithoutRawAccess && linux_backend::ProcessHasRawScsiAccess())
        launcher = {"/usr/bin/setpriv", "--inh-caps=-sys_rawio", "--bounding-set=-sys_rawio", "--"};
    std::vector<VirtualProductNode*> nodes;
    if (node != nullptr) nodes.push_back(node);
    ChildRun run = RunChildren(TORVEX_CLI_PATH, {args}, nodes, limit, launcher).front();
    if (!run.problem.empty()) ADD_FAILURE() << run.problem;
    return run;
}

// What the runner prints to stderr before the message box when nothing can carry its commands.
std::string AdviceIfDue(bool helper_on_the_bus) {
    if (helper_on_the_bus || linux_backend::ProcessHasRawScsiAccess()) return "";
    return ToUtf8(linux_backend::kRawScsiAccessAdvice) + "\n";
}

std::string Message(std::u16string_view text) {
    return ToUtf8(text) + "\n";
}

// Said once, when the update starts writing, where logind cannot keep the system awake (the
// test's bus has no logind).
bool OnlyTheSleepNote(const std::string& err) {
    const std::string note =
        "torvex-isp-cli: the system may sleep while the product is written: no sleep inhibitor "
        "from logind (";
    return err.rfind(note, 0) == 0 && err.find('\n') == err.size() - 1;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::size_t CountEvents(const VirtualProductNode& node, std::uint32_t type) {
    std::size_t count = 0;
    for (const sim::DeviceEvent& event : node.Events()) count += event.type == type ? 1 : 0;
    return count;
}

// The build carries sample firmware; the virtual product behind the node is a test rig.
const std::vector<std::string> kFastRun = {"--tick-ms", "50", "--timeout-s", "20",
                                           "--allow-sample-firmware"};
constexpr std::chrono::seconds kLimit{40};

// A product behind a fake node whose returns come well inside the runner's replug wait
// (40 ticks of 50 ms).
struct CliOnProduct : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(bus.StartHelper()); }
    void Attach(sim::ProductPreset preset, std::vector<sim::Fault> faults = {}) {
        sim::ProductConfig config = sim::PresetConfig(preset);
        config.timing.removal_event_delay_ms = 30;
        config.timing.return_delay_ms = 200;
        config.faults = std::move(faults);
        product = &world.AddProduct(config);
        node = std::make_unique<VirtualProductNode>(system, world);
    }
    ChildRun Run() { return RunCli(node.get(), kFastRun, kLimit); }

    MockSystem system;
    PrivateSystemBus bus;
    sim::VirtualPlatform world;
    sim::VirtualProduct* product = nullptr;
    std::unique_ptr<VirtualProductNode> node;
};

// Run as the user, the runner's commands go through torvex-isp-helper; the others run as the
// test does (as root: SG_IO).
TEST_F(CliOnProduct, OneRunUpdateFromProtectedIspCodeThroughTheHelperExitsZero) {
    Attach(sim::ProductPreset::ProtectIsp);
    const ChildRun run = RunCli(node.get(), kFastRun, kLimit, Rights::WithoutRawAccess);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(OnlyTheSleepNote(run.err)) << run.err;
    EXPECT_TRUE(Contains(run.out, "Open U-KDISK USB device Passed.\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Run Code at Protect ISP EF64\n")) << run.out;
    EXPECT_TRUE(EndsWith(run.out, "PASS.\nUpdat FW.... Update complete !!\n")) << run.out;
    EXPECT_EQ(product->Ef64().Identity(), sim::SampleEf64Identity(1));
    EXPECT_TRUE(world.Violations().empty());
}

TEST_F(CliOnProduct, TwoRunUpdateFromApplicationCodeFollowsTheReplugsThroughUdev) {
    Attach(sim::ProductPreset::ApplicationOld);
    const ChildRun run = Run();
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(OnlyTheSleepNote(run.err)) << run.err;  // once for both runs
    EXPECT_TRUE(Contains(run.out, "Run Code at Application Code\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "EF64_Old\nISP EF32_0 - *.BinX  (Group_1)\n")) << run.out;
    // The removal reached the child through udev after the disk had left the listing, and the
    // product was found again in OTA code.
    EXPECT_TRUE(Contains(run.out, "Jump to EFlash\nUSB device not found!\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "SN:00000000EF320001\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Run Code at OTA Code\n")) << run.out;
    EXPECT_FALSE(Contains(run.out, "FAIL")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Compare_DUT_FW_Name PASS\n")) << run.out;
    EXPECT_TRUE(EndsWith(run.out, "Jump to EFlash 64*8\nPASS.\nUpdat FW.... Update complete !!\n"))
        << run.out;
    // The product left and came back at least once while the child waited for it.
    EXPECT_GE(CountEvents(*node, kDeviceRemoveComplete), 1u);
    EXPECT_GE(CountEvents(*node, kDeviceArrival), 1u);
    EXPECT_EQ(product->Ef64().Identity(), sim::SampleEf64Identity(1));
    EXPECT_EQ(product->Ef32().Identity(), sim::SampleEf32Identity(1));
    EXPECT_TRUE(world.Violations().empty());
}

// Without the operator's leave, a build with sample firmware writes nothing to a real product.
TEST_F(CliOnProduct, SampleFirmwareIsNotWrittenToARealProduct) {
    Attach(sim::ProductPreset::ProtectIsp);
    const auto ef64_before = product->Ef64().Identity();
    const ChildRun run = RunCli(node.get(), {"--tick-ms", "50", "--timeout-s", "20"}, kLimit);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, Message(kSampleFirmwareRefusal));
    EXPECT_EQ(run.out.rfind(ToUtf8(kSampleFirmwareLine) + "\n", 0), 0u) << run.out;
    EXPECT_TRUE(EndsWith(run.out,
                         "Button2...\nUpdate refused: this build carries sample firmware, "
                         "not the product's.\n"))
        << run.out;
    EXPECT_EQ(product->Ef64().Identity(), ef64_before);
    EXPECT_TRUE(world.Trace().empty());  // protected ISP code is never read before a click
}

TEST_F(CliOnProduct, MaskRom0110IsRefusedWithExitTwo) {
    Attach(sim::ProductPreset::Mask0110);
    const ChildRun run = Run();
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, Message(kNotSupportedMessage));
    EXPECT_TRUE(EndsWith(run.out, "Mask 0110....\n")) << run.out;
    EXPECT_TRUE(world.Violations().empty());
}

TEST_F(CliOnProduct, ProgramFailureEndsWithTheReconnectTextAndExitOne) {
    Attach(sim::ProductPreset::ProtectIsp,
           {sim::Fault::On(sim::Command::ProgramEf64Main, sim::FaultAction::Fail).Always()});
    const ChildRun run = Run();
    EXPECT_EQ(run.status, 1);
    const std::string box = ToUtf8(kReconnectMessage) + "\n";
    ASSERT_GE(run.err.size(), box.size());
    EXPECT_TRUE(OnlyTheSleepNote(run.err.substr(0, run.err.size() - box.size()))) << run.err;
    EXPECT_TRUE(EndsWith(run.err, box)) << run.err;
    EXPECT_TRUE(Contains(run.out, "Run Code at Protect ISP EF64\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Program EF64K*8 Main Memory\nSendSCSICommand FAIL")) << run.out;
    EXPECT_TRUE(EndsWith(run.out, "FAIL.\nFAIL.\nUpdat FW.... FAIL !!\n\n")) << run.out;
    EXPECT_FALSE(Contains(run.out, "Update complete")) << run.out;
    EXPECT_NE(product->Ef64().Identity(), sim::SampleEf64Identity(1));
}

TEST(CliWithoutProduct, NoProductEndsWithoutAnEndingAtTheTimeOut) {
    MockSystem system;
    PrivateSystemBus bus;   // without the helper
    system.AddPlainDisk();  // a disk that is not the product is passed by
    const Clock::time_point start = Clock::now();
    const ChildRun run = RunCli(nullptr, {"--tick-ms", "50", "--timeout-s", "1"}, kLimit);
    const auto took = Clock::now() - start;
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, AdviceIfDue(false));
    EXPECT_TRUE(Contains(run.out, "USB device not found!\n")) << run.out;
    EXPECT_GE(took, std::chrono::seconds(1));
    EXPECT_LT(took, std::chrono::seconds(10));
}

}  // namespace
}  // namespace torvex::testing

// The helper's own table of the product's commands against what the tool really sends: every
// block of every check and update, in every code the product can run, passes, and every row of
// the table is used; blocks that differ from them in one byte, length or direction do not pass.
#include <gtest/gtest.h>

#include <set>

#include "app/dialog_core.h"
#include "device/isp_commands.h"
#include "helper/command_table.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"
#include "tests/support/recording_window.h"

namespace torvex::testing {
namespace {

using Block = std::vector<std::uint8_t>;

// The tool on a virtual product for a minute: the operator clicks Update F/W once it is offered.
std::vector<sim::TraceEntry> WireOfAMinute(sim::ProductPreset preset) {
    sim::VirtualPlatform world;
    world.AddProduct(sim::PresetConfig(preset));
    RecordingWindow window;
    DialogCore core{window, world, CompiledFirmwareBlocks()};
    core.OnInitDialog();
    int clicks_run = 0;
    bool clicked = false;
    for (int tick = 0; tick < 60; ++tick) {
        world.AdvanceClock(1000);
        for (const sim::DeviceEvent& event : world.TakeEvents()) core.OnDeviceChange(event.type);
        core.OnReplugTimer();
        if (!clicked && window.update_enabled) {
            clicked = true;
            core.OnUpdateFw();
        }
        for (; clicks_run < window.posted_clicks; ++clicks_run) core.OnUpdateFw();
    }
    return world.Trace();
}

TEST(HelperCommandTable, PassesEveryBlockTheToolSendsInEveryCode) {
    // A row is its name and opcode: the EF64 program commands have one row per opcode set.
    std::set<std::pair<std::string_view, std::uint8_t>> used;
    for (sim::ProductPreset preset : sim::AllPresets()) {
        SCOPED_TRACE(std::string(sim::PresetName(preset)));
        const std::vector<sim::TraceEntry> wire = WireOfAMinute(preset);
        EXPECT_FALSE(wire.empty());
        for (const sim::TraceEntry& entry : wire) {
            const helper::CommandCheck check =
                helper::CheckCommand(entry.cdb, entry.direction, entry.length);
            EXPECT_EQ(check.refusal, "") << sim::Describe(entry);
            // The helper names each command as the product does (without its slot or page).
            if (!entry.command.empty()) {
                EXPECT_EQ(check.name, entry.command.substr(0, entry.command.find(' ')))
                    << sim::Describe(entry);
            }
            used.insert({check.name, entry.cdb[1]});
        }
    }
    // ISP_CMD_EXECUTE goes only to application code whose EF64 the product cannot report while
    // its EF32_0 names the product line; no preset is such a product.
    const auto execute = IspExecuteCommandBlock();
    const helper::CommandCheck execute_check = helper::CheckCommand(execute, DataDirection::In, 0);
    EXPECT_EQ(execute_check.refusal, "");
    used.insert({execute_check.name, execute[1]});
    std::string names;
    for (const auto& [name, opcode] : used) names += std::string(name) + " ";
    EXPECT_EQ(used.size(), 21u) << names;  // every row of the table
}

TEST(HelperCommandTable, RefusesBlocksThatDifferInOneByteLengthOrDirection) {
    const auto block = [](std::uint8_t opcode, std::uint8_t parameter, bool guarded) {
        Block bytes = {0xFF, opcode, parameter, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        for (std::uint8_t i = 1; guarded && i <= 9; ++i) bytes[6 + i] = i;
        return bytes;
    };
    Block execute_long = block(0xA0, 0x02, false);
    Block info_short = block(0xA0, 0x04, false);
    info_short.resize(11);
    Block key_with_byte3 = block(0x62, 0x07, false);
    key_with_byte3[3] = 1;
    Block half_guard = block(0x29, 0x00, true);
    half_guard[15] = 0;
    struct Case {
        const char* what;
        Block cdb;
        DataDirection direction;
        std::uint32_t length;
    };
    const Case cases[] = {
        {"main memory by 0x5A with the guard bytes", block(0x5A, 0, true), DataDirection::Out,
         65536},
        {"the protected main memory without them", block(0x50, 0, false), DataDirection::Out,
         65536},
        {"a key selection with byte 3 set", key_with_byte3, DataDirection::In, 0},
        {"execute as a 16-byte block", execute_long, DataDirection::In, 0},
        {"an 11-byte information read", info_short, DataDirection::In, 64},
        {"EF32_0 main memory with a cut guard", half_guard, DataDirection::Out, 65536},
        {"a jump to EF32 at page 0", block(0x27, 0x00, true), DataDirection::Out, 0},
        {"a block of two bytes", {0xFF, 0x44}, DataDirection::In, 128},
    };
    for (const Case& each : cases) {
        EXPECT_NE(helper::CheckCommand(each.cdb, each.direction, each.length).refusal, "")
            << each.what;
    }
}

}  // namespace
}  // namespace torvex::testing

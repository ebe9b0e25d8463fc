// The product takes only the exact blocks valid in the code it runs: a wrong guard byte, a
// block of the other dialect, a wrong direction flag or data length is refused and recorded.
#include <gtest/gtest.h>

#include <vector>

#include "simulator/product_presets.h"
#include "tests/sim/sim_wire.h"

namespace torvex::sim {
namespace {

using testing::Cdb;
constexpr auto In = DataDirection::In;
constexpr auto Out = DataDirection::Out;

enum class Expect { Accept, Violation, Refuse };

struct Case {
    const char* what;
    ProductPreset preset;
    Cdb cdb;
    DataDirection direction;
    std::uint32_t length;
    Expect expect;
    bool null_buffer = false;
};

Cdb Block(std::uint8_t opcode, std::uint8_t byte2, bool guards) {
    Cdb cdb = {0xFF, opcode, byte2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    if (guards)
        for (std::uint8_t i = 0; i < 9; ++i) cdb[7 + i] = static_cast<std::uint8_t>(i + 1);
    return cdb;
}
const Cdb kExecute = {0xFF, 0xA0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0};

using P = ProductPreset;
const std::vector<Case> kCases = {
    // Protected ISP code: ProtectIspDialect, guard bytes from the main-memory program on.
    {"erase main", P::ProtectIsp, Block(0x52, 0, false), In, 0, Expect::Accept},
    {"erase main with guard bytes", P::ProtectIsp, Block(0x52, 0, true), In, 0, Expect::Violation},
    {"first key selection", P::ProtectIsp, Block(0x62, 0x07, false), In, 0, Expect::Accept},
    {"first key selection with guards", P::ProtectIsp, Block(0x62, 0x07, true), In, 0,
     Expect::Violation},
    {"key 0x1C with guards", P::ProtectIsp, Block(0x62, 0x1C, true), In, 0, Expect::Accept},
    {"key 0x1C without guards", P::ProtectIsp, Block(0x62, 0x1C, false), In, 0, Expect::Violation},
    {"program main, own opcode", P::ProtectIsp, Block(0x50, 0, true), Out, 65536, Expect::Accept},
    {"program main, other dialect", P::ProtectIsp, Block(0x5A, 0, false), Out, 65536,
     Expect::Violation},
    {"program main without guards", P::ProtectIsp, Block(0x50, 0, false), Out, 65536,
     Expect::Violation},
    {"program main one byte short", P::ProtectIsp, Block(0x50, 0, true), Out, 65535,
     Expect::Violation},
    {"program main as data-in", P::ProtectIsp, Block(0x50, 0, true), In, 65536, Expect::Violation},
    {"program info is 0x5A here", P::ProtectIsp, Block(0x5A, 0, true), Out, 128, Expect::Accept},
    {"program info 0x5B", P::ProtectIsp, Block(0x5B, 0, false), Out, 128, Expect::Violation},
    {"checksum without guards", P::ProtectIsp, Block(0x58, 0, false), In, 0, Expect::Violation},
    {"checksum with a length", P::ProtectIsp, Block(0x58, 0, true), In, 64, Expect::Violation},
    {"jump with guards", P::ProtectIsp, Block(0x56, 0, true), Out, 0, Expect::Accept},
    {"jump without guards", P::ProtectIsp, Block(0x56, 0, false), Out, 0, Expect::Violation},
    {"jump with direction in", P::ProtectIsp, Block(0x56, 0, true), In, 0, Expect::Violation},
    {"information read", P::ProtectIsp, Block(0xA0, 0x04, false), In, 64, Expect::Violation},
    {"mask probe", P::ProtectIsp, Block(0x44, 0, false), In, 128, Expect::Violation},
    // OTA code: MaskOtaDialect, never guard bytes.
    {"program main 0x5A", P::Ota, Block(0x5A, 0, false), Out, 65536, Expect::Accept},
    {"program main 0x50", P::Ota, Block(0x50, 0, true), Out, 65536, Expect::Violation},
    {"program info 0x5B", P::Ota, Block(0x5B, 0, false), Out, 128, Expect::Accept},
    {"key 0x1C with guards", P::Ota, Block(0x62, 0x1C, true), In, 0, Expect::Violation},
    {"key 0x1C", P::Ota, Block(0x62, 0x1C, false), In, 0, Expect::Accept},
    {"information read", P::Ota, Block(0xA0, 0x04, false), In, 64, Expect::Accept},
    {"information read of 128", P::Ota, Block(0xA0, 0x04, false), In, 128, Expect::Violation},
    {"EF32_0 read", P::Ota, Block(0xA0, 0x05, false), In, 64, Expect::Violation},
    {"image header", P::Ota, Block(0xA0, 0x06, false), Out, 2048, Expect::Violation},
    {"EF32 program", P::Ota, Block(0x29, 0, true), Out, 65536, Expect::Violation},
    // Application code.
    {"execute, 11 bytes", P::ApplicationOld, kExecute, In, 0, Expect::Accept},
    {"execute, 16 bytes", P::ApplicationOld, Block(0xA0, 0x02, false), In, 0, Expect::Violation},
    {"jump EF32 with byte 2 = 01", P::ApplicationOld, Block(0x27, 1, true), Out, 0, Expect::Accept},
    {"jump EF32 with byte 2 = 00", P::ApplicationOld, Block(0x27, 0, true), Out, 0,
     Expect::Violation},
    {"EF32 checksum, direction out", P::ApplicationOld, Block(0x24, 0, true), Out, 0,
     Expect::Accept},
    {"EF32 checksum, direction in", P::ApplicationOld, Block(0x24, 0, true), In, 0,
     Expect::Violation},
    {"EF32 program without guards", P::ApplicationOld, Block(0x29, 0, false), Out, 65536,
     Expect::Violation},
    {"EF32 program chunk 1", P::ApplicationOld, Block(0x29, 1, true), Out, 65536,
     Expect::Violation},
    {"EF32 page 1", P::ApplicationOld, Block(0x2A, 1, true), Out, 128, Expect::Accept},
    {"EF32 page 2", P::ApplicationOld, Block(0x2A, 2, true), Out, 128, Expect::Violation},
    {"key 0x07 with guards", P::ApplicationOld, Block(0x62, 0x07, true), In, 0, Expect::Violation},
    {"key 0x1C with guards", P::ApplicationOld, Block(0x62, 0x1C, true), In, 0, Expect::Accept},
    {"image header", P::ApplicationOld, Block(0xA0, 0x06, false), Out, 2048, Expect::Accept},
    {"image header as data-in", P::ApplicationOld, Block(0xA0, 0x06, false), In, 2048,
     Expect::Violation},
    {"image info before any header", P::ApplicationOld, Block(0xA0, 0x07, false), In, 64,
     Expect::Violation},
    {"EF64 erase", P::ApplicationOld, Block(0x52, 0, false), In, 0, Expect::Violation},
    {"information read without buffer", P::ApplicationOld, Block(0xA0, 0x04, false), In, 64,
     Expect::Violation, true},
    // Mask ROM code.
    {"probe 0210", P::Mask0210, Block(0x44, 0, false), In, 128, Expect::Accept},
    {"key 0x00 in 0210", P::Mask0210, Block(0x62, 0, false), In, 0, Expect::Accept},
    {"jump EF32 in 0210", P::Mask0210, Block(0x27, 1, true), Out, 0, Expect::Violation},
    {"key 0x1C before any main memory", P::Mask0210, Block(0x62, 0x1C, true), In, 0,
     Expect::Violation},
    {"probe 0110", P::Mask0110, Block(0x44, 0, false), In, 128, Expect::Accept},
    {"key 0x00 in 0110", P::Mask0110, Block(0x62, 0, false), In, 0, Expect::Refuse},
    {"EF32 program in 0110", P::Mask0110, Block(0x29, 0, true), Out, 65536, Expect::Violation},
};

TEST(CommandAcceptance, OnlyTheExactBlocksOfTheCurrentCode) {
    std::vector<std::uint8_t> buffer(65536);
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(PresetName(c.preset)) + ": " + c.what);
        VirtualPlatform platform;
        platform.AddProduct(PresetConfig(c.preset));
        const DeviceHandle handle = testing::OpenDisk(platform, 0);
        PassThroughRequest request;
        request.cdb = c.cdb;
        request.direction = c.direction;
        request.length = c.length;
        if (!c.null_buffer && c.length > 0) {
            request.data_in = c.direction == In ? buffer.data() : nullptr;
            request.data_out = c.direction == Out ? buffer.data() : nullptr;
        }
        const PassThroughResult result = platform.PassThrough(handle, request);
        switch (c.expect) {
            case Expect::Accept:
                EXPECT_TRUE(result.delivered) << result.diagnostic;
                EXPECT_TRUE(platform.Trace().back().accepted);
                EXPECT_TRUE(platform.Violations().empty());
                break;
            case Expect::Violation:
                EXPECT_FALSE(result.delivered);
                EXPECT_EQ(platform.Violations().size(), 1u);
                EXPECT_FALSE(platform.Trace().back().accepted);
                break;
            case Expect::Refuse:
                EXPECT_FALSE(result.delivered);
                EXPECT_TRUE(platform.Violations().empty());
                break;
        }
    }
}

TEST(CommandAcceptance, DirectionOfCommandsWithoutDataCanBeLeftUnchecked) {
    ProductConfig config = PresetConfig(ProductPreset::ApplicationOld);
    config.check_direction_without_data = false;
    VirtualPlatform platform;
    platform.AddProduct(config);
    testing::Wire wire(platform, testing::OpenDisk(platform, 0));
    EXPECT_TRUE(wire.None(Block(0x24, 0, true), In).delivered);
    // Data commands still need their own direction.
    std::vector<std::uint8_t> image(2048);
    PassThroughRequest request;
    const Cdb header = Block(0xA0, 0x06, false);
    request.cdb = header;
    request.direction = In;
    request.data_in = image.data();
    request.length = 2048;
    EXPECT_FALSE(platform.PassThrough(testing::OpenDisk(platform, 0), request).delivered);
}

TEST(CommandAcceptance, ViolationNamesTheBlockTheSenderProbablyMeant) {
    VirtualPlatform platform;
    platform.AddProduct(PresetConfig(ProductPreset::ProtectIsp));
    testing::Wire(platform, testing::OpenDisk(platform, 0)).None(Block(0x62, 0x1C, false), In);
    ASSERT_EQ(platform.Violations().size(), 1u);
    const std::string reason = platform.Violations()[0].reason;
    EXPECT_NE(reason.find("ISP_CMD_SELECT_AES_KEY 0x1C"), std::string::npos) << reason;
    EXPECT_NE(reason.find("01 02 03 04 05 06 07 08 09"), std::string::npos) << reason;
}

TEST(CommandAcceptance, Mask0210KeyForPagesMustFitTheBankWrittenLast) {
    VirtualPlatform platform;
    platform.AddProduct(PresetConfig(ProductPreset::Mask0210));
    const DeviceHandle handle = testing::OpenDisk(platform, 0);
    testing::Wire wire(platform, handle);
    std::vector<std::uint8_t> image(65536);
    wire.None(Block(0x62, 0x07, false), In);
    ASSERT_TRUE(wire.Out(Block(0x29, 0, true), image).delivered);     // EF32_0 main memory
    EXPECT_FALSE(wire.None(Block(0x62, 0x1C, false), In).delivered);  // the EF64 form
    EXPECT_TRUE(wire.None(Block(0x62, 0x1C, true), In).delivered);
    wire.None(Block(0x62, 0x07, false), In);
    ASSERT_TRUE(wire.Out(Block(0x5A, 0, false), image).delivered);   // EF64 main memory
    EXPECT_FALSE(wire.None(Block(0x62, 0x1C, true), In).delivered);  // the EF32_0 form
    EXPECT_TRUE(wire.None(Block(0x62, 0x1C, false), In).delivered);
    EXPECT_EQ(platform.Violations().size(), 2u);
}

}  // namespace
}  // namespace torvex::sim

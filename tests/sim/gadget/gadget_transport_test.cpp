// The product as a USB device, without the bus: wrappers the host may send, a vendor command
// through the transport into the model, residues, faults on the wire, and a jump that becomes an
// unbind and a bind under the next code's identity.
#include <gtest/gtest.h>

#include "simulator/gadget/bot_transport.h"
#include "simulator/gadget/gadget_options.h"
#include "simulator/gadget/gadget_product.h"
#include "simulator/product_presets.h"

namespace torvex::sim::gadget {
namespace {

using Bytes = std::vector<std::uint8_t>;

const AcceptedBlock& BlockOf(Command command) {
    for (const AcceptedBlock& block : AcceptedBlocks())
        if (block.command == command) return block;
    std::abort();
}

CommandBlockWrapper Wrapper(Bytes cb, std::uint32_t length, bool in, std::uint32_t tag = 7) {
    return CommandBlockWrapper{tag, length, in, 0, std::move(cb)};
}

CommandBlockWrapper VendorWrapper(Command command) {
    const AcceptedBlock& block = BlockOf(command);
    return Wrapper(Bytes(block.bytes.begin(), block.bytes.begin() + block.cdb_length), block.length,
                   block.direction == DataDirection::In && block.length > 0);
}

std::uint32_t Residue(const CommandOutcome& o) {
    return static_cast<std::uint32_t>(o.csw[8] | o.csw[9] << 8 | o.csw[10] << 16 | o.csw[11] << 24);
}

GadgetConfig Config(ProductPreset preset) {
    GadgetConfig config;
    config.product = PresetConfig(preset);
    config.disk_bytes = 256 * 1024;
    return config;
}

TEST(GadgetTransport, OnlyWellFormedWrappersAreAccepted) {
    const auto good = MakeCbw(Wrapper({0x12, 0, 0, 0, 36, 0}, 36, true, 0x01020304));
    const auto parsed = ParseCbw(good);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->tag, 0x01020304u);
    EXPECT_EQ(parsed->data_length, 36u);
    EXPECT_TRUE(parsed->data_in);
    EXPECT_EQ(parsed->cb, (Bytes{0x12, 0, 0, 0, 36, 0}));

    struct Bad {
        const char* what;
        std::size_t at;  // byte changed, or the size for a wrong length
        std::uint8_t value;
    };
    for (const Bad& bad :
         {Bad{"signature", 0, 0x54}, Bad{"flag bits", 12, 0x40}, Bad{"lun high bits", 13, 0x10},
          Bad{"no command block", 14, 0}, Bad{"17-byte block", 14, 17}}) {
        SCOPED_TRACE(bad.what);
        auto bytes = good;
        bytes[bad.at] = bad.value;
        EXPECT_FALSE(ParseCbw(bytes));
    }
    Bytes longer(good.begin(), good.end());
    longer.push_back(0);
    EXPECT_FALSE(ParseCbw(longer));
    EXPECT_FALSE(ParseCbw(std::span(good).first(30)));
}

TEST(GadgetTransport, VendorCommandIsAnsweredAsInProcess) {
    GadgetProduct gadget(Config(ProductPreset::ApplicationOld));
    std::vector<std::string> trace;
    gadget.SetTraceSink([&](const std::string& line) { trace.push_back(line); });
    const CommandOutcome outcome = gadget.Command(VendorWrapper(Command::GetFwInfo), {});

    VirtualPlatform platform;
    platform.AddProduct(PresetConfig(ProductPreset::ApplicationOld));
    const AcceptedBlock& block = BlockOf(Command::GetFwInfo);
    Bytes expected(block.length, 0);
    PassThroughRequest request;
    request.cdb = std::span(block.bytes).first(block.cdb_length);
    request.data_in = expected.data();
    request.length = block.length;
    const DeviceHandle handle = platform.OpenExclusive(platform.PathOf(0));
    ASSERT_TRUE(platform.PassThrough(handle, request).delivered);

    EXPECT_EQ(outcome.ending, CommandOutcome::Ending::Status);
    EXPECT_EQ(outcome.data_in, expected);
    EXPECT_EQ(outcome.csw[12], 0);
    EXPECT_EQ(Residue(outcome), 0u);
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_NE(trace[0].find("\"mode\":\"Application\""), std::string::npos) << trace[0];
    EXPECT_NE(trace[0].find("\"dir\":\"in\",\"length\":64"), std::string::npos) << trace[0];

    // A block the product does not take is not answered: the host's transport fails.
    std::vector<std::string> violations;
    gadget.SetViolationSink([&](const std::string& line) { violations.push_back(line); });
    CommandBlockWrapper wrong = VendorWrapper(Command::GetFwInfo);
    wrong.cb.back() ^= 0x01;
    EXPECT_EQ(gadget.Command(wrong, {}).csw[12], static_cast<std::uint8_t>(CswStatus::PhaseError));
    EXPECT_EQ(violations.size(), 1u);
}

TEST(GadgetTransport, ResidueAndPhaseOfStandardCommands) {
    GadgetProduct gadget(Config(ProductPreset::ApplicationOld));
    struct Case {
        const char* what;
        CommandBlockWrapper cbw;
        std::size_t data;
        std::uint32_t residue;
        CswStatus status;
    };
    const Bytes read_two = {0x28, 0, 0, 0, 0, 0, 0, 0, 2, 0};
    CommandBlockWrapper huge = VendorWrapper(Command::GetFwInfo);
    huge.data_length = 0xFFFFFFFF;
    for (const Case& c : {
             Case{"inquiry shorter than asked", Wrapper({0x12, 0, 0, 0, 64, 0}, 64, true), 36, 28,
                  CswStatus::Passed},
             Case{"read of two blocks", Wrapper(read_two, 1024, true), 1024, 0, CswStatus::Passed},
             Case{"read into too little", Wrapper(read_two, 512, true), 0, 512,
                  CswStatus::PhaseError},
             Case{"read the host sends data for", Wrapper(read_two, 1024, false), 0, 1024,
                  CswStatus::PhaseError},
             Case{"unknown command", Wrapper({0x4A, 1, 0, 0, 0x10, 0, 0, 0, 8, 0}, 8, true), 0, 8,
                  CswStatus::Failed},
             Case{"vendor data beyond any transfer", huge, 0, 0xFFFFFFFF, CswStatus::PhaseError},
             Case{"read beyond the end", Wrapper({0x28, 0, 0, 0, 0x10, 0, 0, 0, 1, 0}, 512, true),
                  0, 512, CswStatus::Failed},
         }) {
        SCOPED_TRACE(c.what);
        const CommandOutcome o = gadget.Command(c.cbw, {});
        EXPECT_EQ(o.data_in.size(), c.data);
        EXPECT_EQ(Residue(o), c.residue);
        EXPECT_EQ(o.csw[12], static_cast<std::uint8_t>(c.status));
        EXPECT_EQ(o.csw[4], 7);  // the tag comes back
    }
    EXPECT_EQ(gadget.Product().RequestCount(), 0u);  // refused before any buffer is made
    const CommandOutcome sense = gadget.Command(Wrapper({0x03, 0, 0, 0, 18, 0}, 18, true), {});
    ASSERT_EQ(sense.data_in.size(), 18u);
    EXPECT_EQ(sense.data_in[2], 0x05);   // ILLEGAL REQUEST
    EXPECT_EQ(sense.data_in[12], 0x21);  // LBA out of range, from the last command
}

TEST(GadgetTransport, WritesStayOnTheDiskAndTheCdRomRefusesThem) {
    GadgetConfig config = Config(ProductPreset::ApplicationOld);
    config.cdrom = true;
    GadgetProduct gadget(config);
    EXPECT_EQ(gadget.MaxLun(), 1);
    const Bytes write = {0x2A, 0, 0, 0, 0, 5, 0, 0, 1, 0};
    const Bytes block(512, 0xAB);
    EXPECT_EQ(gadget.Command(Wrapper(write, 512, false), block).csw[12], 0);
    const auto read = gadget.Command(Wrapper({0x28, 0, 0, 0, 0, 5, 0, 0, 1, 0}, 512, true), {});
    EXPECT_EQ(read.data_in, block);

    CommandBlockWrapper to_cd = Wrapper({0x2A, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 2048, false);
    to_cd.lun = 1;
    EXPECT_EQ(gadget.Command(to_cd, Bytes(2048, 0)).csw[12], 1);
    CommandBlockWrapper sense = Wrapper({0x03, 0, 0, 0, 18, 0}, 18, true);
    sense.lun = 1;
    const auto cd_sense = gadget.Command(sense, {}).data_in;
    EXPECT_EQ(cd_sense.at(2), 0x07);  // DATA PROTECT
    EXPECT_EQ(cd_sense.at(12), 0x27);
}

TEST(GadgetTransport, PlainDiskRefusesVendorCommandsWithoutTheModel) {
    GadgetConfig config = Config(ProductPreset::ApplicationOld);
    config.plain = UsbIdentity{0x1234, 0x5678, "STICK0001"};
    GadgetProduct gadget(config);
    std::vector<std::string> trace;
    gadget.SetTraceSink([&](const std::string& line) { trace.push_back(line); });
    EXPECT_EQ(gadget.Identity().serial, "STICK0001");
    const CommandOutcome o = gadget.Command(VendorWrapper(Command::GetFwInfo), {});
    EXPECT_EQ(o.csw[12], 1);
    EXPECT_EQ(Residue(o), 64u);
    EXPECT_EQ(gadget.Product().RequestCount(), 0u);
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_NE(trace[0].find("\"mode\":\"Plain\""), std::string::npos) << trace[0];
    const auto sense = gadget.Command(Wrapper({0x03, 0, 0, 0, 18, 0}, 18, true), {}).data_in;
    EXPECT_EQ(sense.at(2), 0x05);
    EXPECT_EQ(sense.at(12), 0x20);  // invalid command operation code
}

TEST(GadgetTransport, FaultsEndTheCommandOnTheWire) {
    struct Case {
        const char* fault;
        CommandOutcome::Ending ending;
        std::uint8_t csw_status;
        std::uint8_t sense_key;
    };
    for (const Case& c : {Case{"fail", CommandOutcome::Ending::Status, 2, 0},
                          Case{"timeout:nth=1", CommandOutcome::Ending::NoStatus, 0, 0},
                          Case{"check-condition:opcode=A0", CommandOutcome::Ending::Status, 1, 4},
                          Case{"gone", CommandOutcome::Ending::Gone, 0, 0}}) {
        SCOPED_TRACE(c.fault);
        GadgetConfig config = Config(ProductPreset::ApplicationOld);
        const auto fault = ParseFaultText(c.fault);
        ASSERT_TRUE(fault);
        config.product.faults = {*fault};
        GadgetProduct gadget(config);
        const CommandOutcome o = gadget.Command(VendorWrapper(Command::GetFwInfo), {});
        EXPECT_EQ(o.ending, c.ending);
        if (o.ending == CommandOutcome::Ending::Status) {
            EXPECT_EQ(o.csw[12], c.csw_status);
            const auto sense = gadget.Command(Wrapper({0x03, 0, 0, 0, 18, 0}, 18, true), {});
            EXPECT_EQ(sense.data_in.at(2), c.sense_key);
        }
        if (o.ending != CommandOutcome::Ending::Gone) continue;
        // Unplugged mid-command: off the bus, and plugged back after the return delay.
        ASSERT_EQ(gadget.Advance(100).size(), 1u);
        const auto back = gadget.Advance(100 + gadget.Product().Timing().return_delay_ms);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_TRUE(back[0].present);
        EXPECT_EQ(back[0].identity.serial, "2175APP00001");
    }
    EXPECT_FALSE(ParseFaultText("fail:opcode=XYZ"));
    EXPECT_FALSE(ParseFaultText("explode"));
}

TEST(GadgetTransport, ExecuteReenumeratesUnderTheOtaIdentity) {
    GadgetProduct gadget(Config(ProductPreset::ApplicationOld));
    const auto sector0 = [&] {
        return gadget.Command(Wrapper({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 512, true), {}).data_in;
    };
    EXPECT_EQ(sector0().at(510), 0x55);  // application code shows its FAT disk

    const CommandOutcome o = gadget.Command(VendorWrapper(Command::Execute), {});
    EXPECT_EQ(o.ending, CommandOutcome::Ending::Status);
    EXPECT_EQ(o.csw[12], 0);
    const auto gone = gadget.Advance(0);
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_FALSE(gone[0].present);
    EXPECT_TRUE(gadget.Advance(1999).empty());
    const auto back = gadget.Advance(2000);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_TRUE(back[0].present);
    EXPECT_EQ(back[0].identity.vendor_id, 0x2175);
    EXPECT_EQ(back[0].identity.serial, "00000000EF320001");
    EXPECT_EQ(sector0().at(510), 0x00);  // OTA code's disk is blank
    EXPECT_EQ(gadget.Command(VendorWrapper(Command::GetFwInfo), {}).csw[12], 0);
}

}  // namespace
}  // namespace torvex::sim::gadget

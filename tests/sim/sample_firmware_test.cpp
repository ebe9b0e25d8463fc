// The sample blocks: the sizes the tool expects, identities the demo's road needs, and contents
// the product can verify.
#include <gtest/gtest.h>

#include "simulator/flash_bank.h"
#include "simulator/product_cipher.h"
#include "simulator/sample_firmware.h"
#include "tests/sim/sim_wire.h"

namespace torvex::sim {
namespace {

TEST(SampleFirmware, BlocksHaveTheCarriedSizesAndAreDeterministic) {
    const std::vector<std::pair<std::uint16_t, std::size_t>> sizes = {
        {134, 256}, {138, 768}, {161, 768}, {162, 66048}, {163, 66048}, {156, 66048}, {164, 66048}};
    for (const auto& [id, size] : sizes) {
        EXPECT_EQ(MakeSampleFirmwareBlock(id).size(), size) << id;
        EXPECT_EQ(MakeSampleFirmwareBlock(id), MakeSampleFirmwareBlock(id)) << id;
    }
    EXPECT_TRUE(MakeSampleFirmwareBlock(100).empty());
    EXPECT_NE(MakeSampleFirmwareBlock(162), MakeSampleFirmwareBlock(163));
    EXPECT_NE(MakeSampleFirmwareBlock(156), MakeSampleFirmwareBlock(164));
}

TEST(SampleFirmware, IdentitiesFitTheTwoRunUpdate) {
    for (int group : {1, 2}) {
        const IdentityBlock ef64 = SampleEf64Identity(group);
        const IdentityBlock ef32 = SampleEf32Identity(group);
        EXPECT_EQ(ef64[11], 100);  // the tool refuses any other EF64 major version
        EXPECT_NE(IdentityVersionNumber(ef64), 100000);  // not a Group_2 device version
        EXPECT_NE(IdentityVersionNumber(ef32), 50000);
        EXPECT_EQ(IdentityTag(ef32), kEf32RequiredTag);
        EXPECT_NE(IdentityName(ef32).find("F_TORVEXZED_"), std::string::npos);
        EXPECT_NE(IdentityName(ef64).find("F_TORVEXZED_"), std::string::npos);
    }
    EXPECT_EQ(IdentityVersionNumber(SampleEf64Identity(1)), kSampleEf64VersionNumber);
    EXPECT_EQ(IdentityVersionNumber(SampleEf32Identity(2)), kSampleEf32VersionNumber);
}

TEST(SampleFirmware, IdentitySitsInThePreambleAndInMainMemory) {
    for (std::uint16_t id : std::vector<std::uint16_t>{162, 163, 156, 164}) {
        std::vector<std::uint8_t> block = MakeSampleFirmwareBlock(id);
        ApplyKeystream(kMainMemoryKeySlot, 0, block);
        const std::span<const std::uint8_t> plain(block);
        EXPECT_EQ(HeaderIdentity(plain.first(2048)), SampleImageIdentity(id)) << id;
        EXPECT_EQ(MainIdentity(plain.subspan(512)), SampleImageIdentity(id)) << id;
        const BankCode bank = (id == 162 || id == 163) ? BankCode::Ef64 : BankCode::Ef32_0;
        EXPECT_EQ(CheckMainImage(plain.subspan(512), bank), ImageCheck::Good) << id;
    }
}

TEST(SampleFirmware, InformationPagesVerifyOnlyFromOffset512UnderTheirKey) {
    for (const auto& [id, bank] : std::vector<std::pair<std::uint16_t, BankCode>>{
             {138, BankCode::Ef64}, {161, BankCode::Ef32_0}}) {
        const auto block = MakeSampleFirmwareBlock(id);
        std::vector<std::uint8_t> page(block.begin() + 512, block.begin() + 640);
        std::vector<std::uint8_t> wrong_key = page;
        ApplyKeystream(kInfoPageKeySlot, 512, page);
        ApplyKeystream(kMainMemoryKeySlot, 512, wrong_key);
        EXPECT_EQ(CheckInfoPage(page, bank), ImageCheck::Good) << id;
        EXPECT_NE(CheckInfoPage(wrong_key, bank), ImageCheck::Good) << id;
    }
}

}  // namespace
}  // namespace torvex::sim

#include "simulator/sample_firmware.h"

#include <algorithm>

#include "firmware/firmware_block_table.h"
#include "simulator/image_layout.h"
#include "simulator/product_cipher.h"

namespace torvex::sim {

namespace {

struct ImageRecipe {
    std::uint16_t id;
    BankCode bank;
    std::uint8_t group;
};

constexpr ImageRecipe kImages[] = {
    {kEf64ImageGroup1Id, BankCode::Ef64, 1},
    {kEf64ImageGroup2Id, BankCode::Ef64, 2},
    {kEf32ImageGroup1Id, BankCode::Ef32_0, 1},
    {kEf32ImageGroup2Id, BankCode::Ef32_0, 2},
};

const ImageRecipe* FindImage(std::uint16_t id) {
    for (const auto& recipe : kImages)
        if (recipe.id == id) return &recipe;
    return nullptr;
}

std::vector<std::uint8_t> MakeImageBlock(const ImageRecipe& recipe) {
    const IdentityBlock identity = SampleImageIdentity(recipe.id);
    const std::uint32_t seed = recipe.id * 7919u;
    const auto preamble = BuildPreamble(recipe.bank, recipe.group, identity, seed);
    const auto main = BuildMainImage(recipe.bank, recipe.group, identity, seed + 1);
    std::vector<std::uint8_t> block(kImageBlockSize);
    std::copy(preamble.begin(), preamble.end(), block.begin());
    std::copy(main.begin(), main.end(), block.begin() + kBlockPreambleSize);
    ApplyKeystream(kMainMemoryKeySlot, 0, block);
    return block;
}

std::vector<std::uint8_t> MakeInfoBlock(BankCode bank, std::uint16_t id) {
    std::vector<std::uint8_t> block(kInfoBlockSize);
    FillPseudoRandom(block, id * 7919u);
    auto page = BuildInfoPage(bank, id * 7919u + 1);
    ApplyKeystream(kInfoPageKeySlot, kBlockPreambleSize, page);
    std::copy(page.begin(), page.end(), block.begin() + kBlockPreambleSize);
    return block;
}

}  // namespace

IdentityBlock SampleEf64Identity(int group) {
    return MakeIdentity(kSampleEf64Tag, kSampleEf64Version,
                        group == 2 ? "F_TORVEXZED_APP_GROUP2" : "F_TORVEXZED_APP_GROUP1");
}

IdentityBlock SampleEf32Identity(int group) {
    return MakeIdentity(kSampleEf32Tag, kSampleEf32Version,
                        group == 2 ? "F_TORVEXZED_OTA_GROUP2" : "F_TORVEXZED_OTA_GROUP1");
}

IdentityBlock SampleImageIdentity(std::uint16_t id) {
    const ImageRecipe* recipe = FindImage(id);
    if (recipe == nullptr) return {};
    return recipe->bank == BankCode::Ef64 ? SampleEf64Identity(recipe->group)
                                          : SampleEf32Identity(recipe->group);
}

std::vector<std::uint8_t> MakeSampleFirmwareBlock(std::uint16_t id) {
    if (const ImageRecipe* recipe = FindImage(id)) return MakeImageBlock(*recipe);
    if (id == kEf64InfoBlockId) return MakeInfoBlock(BankCode::Ef64, id);
    if (id == kEf32InfoBlockId) return MakeInfoBlock(BankCode::Ef32_0, id);
    if (id == kBlock134Id) {
        // Read by nothing; filler behind a marker.
        std::vector<std::uint8_t> block(kBlock134Size);
        FillPseudoRandom(block, 134u * 7919u);
        std::copy_n("TVXK", 4, block.begin());
        return block;
    }
    return {};
}

}  // namespace torvex::sim

#include "simulator/product_presets.h"

#include <array>

#include "simulator/sample_firmware.h"

namespace torvex::sim {

namespace {

struct PresetInfo {
    ProductPreset preset;
    std::string_view name;
    std::string_view description;
};

constexpr std::array<PresetInfo, 15> kPresets = {{
    {ProductPreset::ApplicationOld, "application-old",
     "application code, older first-line firmware"},
    {ProductPreset::ApplicationGroup2, "application-group2", "application code, Group_2 versions"},
    {ProductPreset::ApplicationCurrent, "application-current", "application code, already updated"},
    {ProductPreset::ApplicationNew, "application-new",
     "application code, EF64 newer than the tool's"},
    {ProductPreset::ApplicationOtherLine, "application-other-line",
     "application code, unknown product line"},
    {ProductPreset::ApplicationAntique, "application-antique",
     "application code that cannot report its EF64"},
    {ProductPreset::ApplicationEf32Erased, "application-ef32-erased",
     "application code, EF32_0 erased"},
    {ProductPreset::ApplicationEf32Protect, "application-ef32-protect",
     "application code, EF32_0 holds protected ISP code"},
    {ProductPreset::ApplicationEf32BadTag, "application-ef32-bad-tag",
     "application code, EF32_0 tag 7.8.9.11"},
    {ProductPreset::Ota, "ota", "OTA code, second-line EF32_0, old EF64"},
    {ProductPreset::OtaGroup2, "ota-group2", "OTA code, EF32_0 at 50.0.0.0"},
    {ProductPreset::OtaFirstLine, "ota-first-line", "OTA code, first-line EF32_0 name"},
    {ProductPreset::ProtectIsp, "protect-isp", "protected ISP code, EF64 erased"},
    {ProductPreset::Mask0210, "mask-0210", "mask ROM code 0210, banks erased"},
    {ProductPreset::Mask0110, "mask-0110", "mask ROM code 0110, banks erased"},
}};

constexpr std::array<ProductPreset, kPresets.size()> kAll = [] {
    std::array<ProductPreset, kPresets.size()> all{};
    for (std::size_t i = 0; i < kPresets.size(); ++i) all[i] = kPresets[i].preset;
    return all;
}();

const PresetInfo& InfoOf(ProductPreset preset) {
    for (const auto& info : kPresets)
        if (info.preset == preset) return info;
    return kPresets[0];
}

ProductConfig WithBanks(ProductMode mode, BankSetup ef64, BankSetup ef32) {
    ProductConfig config;
    config.mode = mode;
    config.ef64 = ef64;
    config.ef32 = ef32;
    return config;
}

BankSetup Holding(const IdentityBlock& identity, std::uint8_t group = 1) {
    return BankSetup{identity, false, false, group};
}

BankSetup Erased() {
    return BankSetup{ErasedIdentity(), true, false, 1};
}

ProductConfig ApplicationWith(BankSetup ef64, BankSetup ef32) {
    return WithBanks(ProductMode::Application, ef64, ef32);
}

}  // namespace

IdentityBlock OldEf64Identity() {
    return MakeIdentity({1, 2, 3, 4}, {100, 1, 0, 0}, "F_TORVEX_APP_V100100");
}
IdentityBlock OldEf32Identity() {
    return MakeIdentity({7, 8, 9, 10}, {50, 1, 0, 0}, "F_TORVEX_OTA_V50100");
}
IdentityBlock Group2Ef64Identity() {
    return MakeIdentity({1, 2, 3, 4}, {100, 0, 0, 0}, "F_TORVEX_APP_V100000");
}
IdentityBlock Group2Ef32Identity() {
    return MakeIdentity({7, 8, 9, 10}, {50, 0, 0, 0}, "F_TORVEX_OTA_V50000");
}

ProductConfig PresetConfig(ProductPreset preset) {
    const BankSetup old64 = Holding(OldEf64Identity());
    const BankSetup old32 = Holding(OldEf32Identity());
    const BankSetup sample64 = Holding(SampleEf64Identity(1));
    const BankSetup sample32 = Holding(SampleEf32Identity(1));
    switch (preset) {
        case ProductPreset::ApplicationOld:
            return ApplicationWith(old64, old32);
        case ProductPreset::ApplicationGroup2:
            return ApplicationWith(Holding(Group2Ef64Identity(), 2),
                                   Holding(Group2Ef32Identity(), 2));
        case ProductPreset::ApplicationCurrent:
            return ApplicationWith(sample64, sample32);
        case ProductPreset::ApplicationNew:
            return ApplicationWith(
                Holding(MakeIdentity({1, 2, 3, 4}, {100, 9, 0, 0}, "F_TORVEXZED_APP_V100900")),
                sample32);
        case ProductPreset::ApplicationOtherLine:
            return ApplicationWith(
                Holding(MakeIdentity({1, 2, 3, 4}, {100, 1, 0, 0}, "ACME_APP_V100100")),
                Holding(MakeIdentity({7, 8, 9, 10}, {50, 1, 0, 0}, "ACME_OTA_V50100")));
        case ProductPreset::ApplicationAntique: {
            ProductConfig config = ApplicationWith(old64, sample32);
            config.faults.push_back(Fault::On(Command::GetFwInfo, FaultAction::Fail)
                                        .Always()
                                        .InMode(ProductMode::Application));
            return config;
        }
        case ProductPreset::ApplicationEf32Erased:
            return ApplicationWith(old64, Erased());
        case ProductPreset::ApplicationEf32Protect:
            return ApplicationWith(old64, Holding(ProtectSignatureIdentity()));
        case ProductPreset::ApplicationEf32BadTag:
            return ApplicationWith(
                old64, Holding(MakeIdentity({7, 8, 9, 11}, {50, 1, 0, 0}, "F_TORVEX_OTA_V50100")));
        case ProductPreset::Ota:
            return WithBanks(ProductMode::Ota, old64, sample32);
        case ProductPreset::OtaGroup2:
            return WithBanks(
                ProductMode::Ota, Holding(Group2Ef64Identity(), 2),
                Holding(MakeIdentity({7, 8, 9, 10}, {50, 0, 0, 0}, "F_TORVEXZED_OTA_V50000"), 2));
        case ProductPreset::OtaFirstLine:
            return WithBanks(ProductMode::Ota, old64, old32);
        case ProductPreset::ProtectIsp:
            return WithBanks(ProductMode::ProtectIsp, Erased(),
                             Holding(ProtectSignatureIdentity()));
        case ProductPreset::Mask0210:
            return WithBanks(ProductMode::Mask0210, Erased(), Erased());
        case ProductPreset::Mask0110:
            return WithBanks(ProductMode::Mask0110, Erased(), Erased());
    }
    return {};
}

std::string_view PresetName(ProductPreset preset) {
    return InfoOf(preset).name;
}

std::string_view PresetDescription(ProductPreset preset) {
    return InfoOf(preset).description;
}

std::optional<ProductPreset> ParsePresetName(std::string_view name) {
    for (const auto& info : kPresets)
        if (info.name == name) return info.preset;
    return std::nullopt;
}

std::span<const ProductPreset> AllPresets() {
    return kAll;
}

}  // namespace torvex::sim

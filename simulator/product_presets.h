#pragma once
// Ready-made products for tests, the demo and the headless runner's --virtual STATE. Each is a
// ProductConfig a caller may still change before attaching it.

#include <optional>
#include <span>
#include <string_view>

#include "simulator/identity_block.h"
#include "simulator/virtual_product.h"

namespace torvex::sim {

enum class ProductPreset : std::uint8_t {
    ApplicationOld,          // older EF64 and EF32_0 of the first line ("F_TORVEX_"): Old
    ApplicationGroup2,       // as Old, EF64 at 100.0.0.0 and EF32_0 at 50.0.0.0: Group_2
    ApplicationCurrent,      // both banks hold the sample images: "already updated"
    ApplicationNew,          // EF64 newer than the sample image, second line
    ApplicationOtherLine,    // names of neither product line
    ApplicationAntique,      // application code that fails ISP_CMD_GET_FW_INFO (Antique)
    ApplicationEf32Erased,   // EF32_0 bank erased (No_Code)
    ApplicationEf32Protect,  // EF32_0 bank holds the protected ISP code (Protect)
    ApplicationEf32BadTag,   // EF32_0 tag 7.8.9.11 (No_Code by tag)
    Ota,                     // OTA code with the sample EF32_0 (as after a first run), old EF64
    OtaGroup2,               // OTA code, EF32_0 at 50.0.0.0 ("F_TORVEXZED_"): Group_2
    OtaFirstLine,            // OTA code whose EF32_0 name is of the first line only
    ProtectIsp,              // protected ISP code, EF64 erased
    Mask0210,                // mask ROM 0210, both banks erased
    Mask0110,                // mask ROM 0110, both banks erased
};

ProductConfig PresetConfig(ProductPreset preset);

// "application-old", "ota", "protect-isp", "mask-0210", ...
std::string_view PresetName(ProductPreset preset);
std::optional<ProductPreset> ParsePresetName(std::string_view name);
std::string_view PresetDescription(ProductPreset preset);
std::span<const ProductPreset> AllPresets();

// Identities the presets use (the sample images' are in sample_firmware.h).
IdentityBlock OldEf64Identity();     // 1.2.3.4, 100.1.0.0, "F_TORVEX_APP_V100100"
IdentityBlock OldEf32Identity();     // 7.8.9.10, 50.1.0.0, "F_TORVEX_OTA_V50100"
IdentityBlock Group2Ef64Identity();  // 1.2.3.4, 100.0.0.0, "F_TORVEX_APP_V100000"
IdentityBlock Group2Ef32Identity();  // 7.8.9.10, 50.0.0.0, "F_TORVEX_OTA_V50000"

}  // namespace torvex::sim

#include "simulator/product_mode.h"

#include <array>
#include <cstdio>

namespace torvex::sim {

namespace {
constexpr std::array<std::string_view, 5> kModeNames = {"Mask0110", "Mask0210", "ProtectIsp",
                                                        "Application", "Ota"};
}

UsbIdentity UsbIdentityFor(ProductMode mode, const UsbSerials& serials) {
    switch (mode) {
        case ProductMode::Mask0110:
        case ProductMode::Mask0210:
            return {kBootVendorId, kMaskProductId, serials.mask};
        case ProductMode::ProtectIsp:
            return {kBootVendorId, kProtectIspProductId, serials.protect_isp};
        case ProductMode::Application:
            return {kApplicationVendorId, kApplicationProductId, serials.application};
        case ProductMode::Ota:
            return {kApplicationVendorId, kApplicationProductId, serials.ota};
    }
    return {};
}

std::u16string ParentDeviceId(const UsbIdentity& identity) {
    char head[32];
    std::snprintf(head, sizeof head, "USB\\VID_%04X&PID_%04X\\", identity.vendor_id,
                  identity.product_id);
    std::u16string id;
    for (const char* c = head; *c != '\0'; ++c) id.push_back(static_cast<char16_t>(*c));
    for (char c : identity.serial)
        id.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return id;
}

std::string_view ModeName(ProductMode mode) {
    return kModeNames[static_cast<std::size_t>(mode)];
}

std::optional<ProductMode> ParseModeName(std::string_view name) {
    for (std::size_t i = 0; i < kModeNames.size(); ++i)
        if (kModeNames[i] == name) return static_cast<ProductMode>(i);
    return std::nullopt;
}

}  // namespace torvex::sim

#pragma once
// Discovery: finds the product among the present disk interfaces, tells from its USB identity
// which code it runs, logs what it found, and reports the product it opened last.

#include <cstdint>
#include <optional>
#include <string>

#include "device/device_context.h"
#include "device/product_identity.h"

namespace torvex {

// The product a discovery opened last: only an opened product's path and identity are reported,
// so that they always describe one product.
struct OpenedProduct {
    std::u16string path;
    std::u16string identity;  // its parent instance id
};

struct DiscoveryResult {
    // False when the disk interfaces could not be listed at all: then only the vendor id is
    // known (none), and everything else the caller knew stays as it was.
    bool listed = false;
    std::uint16_t run_mode = kRunModeNoDevice;  // product id of the last product opened, or 0
    std::uint16_t vid = 0;                      // its vendor id, or 0
    bool device_found = false;      // a product opened in protected ISP, application or OTA code
    bool app_code_running = false;  // the last one in application or OTA code ran application
    std::optional<OpenedProduct> opened;
};

// Examines every present disk; the last product that opens decides the result.
DiscoveryResult DiscoverProduct(DeviceContext& context);

// A product counts as found once discovery saw it in any code but mask code; a mask-code
// product is left to the boot-code query that the timer runs.
constexpr std::uint32_t FoundAfterDiscovery(std::uint16_t run_mode) {
    return run_mode != kRunModeNoDevice && run_mode != kRunModeMaskCode ? 1 : 0;
}

}  // namespace torvex

#pragma once
// The codes the product can run and the USB identity it shows in each: mask ROM boot code (two
// variants) and protected ISP code under 0A81, application and OTA code under 2175 told apart by
// the serial number.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace torvex::sim {

enum class ProductMode : std::uint8_t { Mask0110, Mask0210, ProtectIsp, Application, Ota };

inline constexpr std::uint16_t kBootVendorId = 0x0A81;
inline constexpr std::uint16_t kMaskProductId = 0x0320;
inline constexpr std::uint16_t kProtectIspProductId = 0x0321;
inline constexpr std::uint16_t kApplicationVendorId = 0x2175;
inline constexpr std::uint16_t kApplicationProductId = 0x5001;
// OTA code shows a serial number that begins with these twelve characters.
inline constexpr std::string_view kOtaSerialPrefix = "00000000EF32";

// Serial number shown in each code. Application and OTA code must differ in their first twelve
// characters, or the tool cannot tell them apart.
struct UsbSerials {
    std::string mask = "0A81MASK0001";
    std::string protect_isp = "0A81ISP00001";
    std::string application = "2175APP00001";
    std::string ota = "00000000EF320001";
};

struct UsbIdentity {
    std::uint16_t vendor_id = 0;
    std::uint16_t product_id = 0;
    std::string serial;
};

UsbIdentity UsbIdentityFor(ProductMode mode, const UsbSerials& serials);

// "USB\VID_vvvv&PID_pppp\serial" with upper-case hex digits, as the platform names the parent.
std::u16string ParentDeviceId(const UsbIdentity& identity);

// "Mask0110", "Mask0210", "ProtectIsp", "Application", "Ota".
std::string_view ModeName(ProductMode mode);
std::optional<ProductMode> ParseModeName(std::string_view name);

// A set of modes, for the command table.
class ModeSet {
  public:
    constexpr ModeSet() = default;
    constexpr ModeSet(std::initializer_list<ProductMode> modes) {
        for (ProductMode m : modes) bits_ = static_cast<std::uint8_t>(bits_ | Bit(m));
    }
    constexpr bool Contains(ProductMode m) const { return (bits_ & Bit(m)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }

  private:
    static constexpr std::uint8_t Bit(ProductMode m) {
        return static_cast<std::uint8_t>(1u << static_cast<unsigned>(m));
    }
    std::uint8_t bits_ = 0;
};

}  // namespace torvex::sim

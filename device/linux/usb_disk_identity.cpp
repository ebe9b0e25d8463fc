#include "device/linux/usb_disk_identity.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/text.h"

namespace torvex::linux_backend {
namespace {

constexpr std::size_t kUsbIdDigits = 4;

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char ToUpperHex(char c) {
    return (c >= 'a' && c <= 'f') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Reads a short hexadecimal attribute ("08", "0x08" is not a sysfs form); nullopt otherwise.
std::optional<unsigned> HexByte(const char* text) {
    if (text == nullptr) return std::nullopt;
    const std::string_view digits(text, strnlen(text, 3));
    if (digits.empty() || digits.size() > 2) return std::nullopt;
    unsigned value = 0;
    for (char c : digits) {
        if (!IsHexDigit(c)) return std::nullopt;
        const char upper = ToUpperHex(c);
        value = value * 16 + static_cast<unsigned>(upper <= '9' ? upper - '0' : upper - 'A' + 10);
    }
    return value;
}

}  // namespace

bool IsMassStorageInterface(const char* interface_class, const char* driver) {
    if (HexByte(interface_class) != kMassStorageInterfaceClass || driver == nullptr) return false;
    const std::string_view name(driver);
    return name == "usb-storage" || name == "uas";
}

std::optional<std::u16string> UsbIdDigits(const char* attribute) {
    if (attribute == nullptr) return std::nullopt;
    const std::string_view text(attribute, strnlen(attribute, kUsbIdDigits + 1));
    if (text.size() != kUsbIdDigits || !std::all_of(text.begin(), text.end(), IsHexDigit)) {
        return std::nullopt;
    }
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), ToUpperHex);
    return Widen(upper);
}

std::u16string SerialText(const char* serial) {
    if (serial == nullptr) return {};
    return Widen(std::string_view(serial, strnlen(serial, kSerialMaxUnits)));
}

std::u16string ParentDeviceId(std::u16string_view vid, std::u16string_view pid,
                              std::u16string_view serial) {
    std::u16string id = u"USB\\VID_";
    id.append(vid).append(u"&PID_").append(pid).append(u"\\").append(serial);
    if (id.size() > kParentDeviceIdMaxUnits) id.resize(kParentDeviceIdMaxUnits);
    return id;
}

}  // namespace torvex::linux_backend

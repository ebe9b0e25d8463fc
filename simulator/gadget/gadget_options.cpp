#include "simulator/gadget/gadget_options.h"

#include <charconv>

#include "simulator/gadget/fat_image.h"

namespace torvex::sim::gadget {

namespace {

std::optional<std::uint32_t> Number(const std::string& text, int base = 10) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

bool SafeName(const std::string& name) {
    if (name.empty() || name.size() > 32) return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-' || c == '.'))
            return false;
    return name != "." && name != "..";
}

}  // namespace

std::optional<Fault> ParseFaultText(const std::string& text) {
    const std::size_t colon = text.find(':');
    const std::string action = text.substr(0, colon);
    Fault fault;
    if (action == "fail")
        fault.action = FaultAction::Fail;
    else if (action == "timeout")
        fault.action = FaultAction::Timeout;
    else if (action == "check-condition")
        fault.action = FaultAction::CheckCondition;
    else if (action == "gone")
        fault.action = FaultAction::VanishBefore;
    else
        return std::nullopt;
    for (std::size_t at = colon; at != std::string::npos && at < text.size();) {
        const std::size_t next = text.find(':', at + 1);
        const std::string part =
            text.substr(at + 1, next == std::string::npos ? next : next - at - 1);
        at = next;
        const std::size_t eq = part.find('=');
        if (eq == std::string::npos) return std::nullopt;
        const std::string key = part.substr(0, eq);
        const std::string value = part.substr(eq + 1);
        if (key == "mode") {
            const auto mode = ParseModeName(value);
            if (!mode) return std::nullopt;
            fault.when.mode = *mode;
            continue;
        }
        const auto number = Number(value, key == "opcode" ? 16 : 10);
        if (!number) return std::nullopt;
        if (key == "opcode" && *number <= 0xFF)
            fault.when.opcode = static_cast<std::uint8_t>(*number);
        else if (key == "nth" && *number >= 1)
            fault.when.skip = *number - 1;
        else if (key == "skip")
            fault.when.skip = *number;
        else if (key == "times")
            fault.times = *number;
        else
            return std::nullopt;
    }
    return fault;
}

GadgetParse ParseGadgetOptions(const std::vector<std::string>& args) {
    GadgetOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help") {
            options.help = true;
            continue;
        }
        if (name == "--cdrom") {
            options.cdrom = true;
            continue;
        }
        if (name != "--state" && name != "--udc" && name != "--name" && name != "--fault" &&
            name != "--trace" && name != "--return-delay-ms" && name != "--disk-size-kib" &&
            name != "--plain" && name != "--pause-at")
            return {std::nullopt, "unknown option '" + name + "'"};
        if (i + 1 >= args.size()) return {std::nullopt, "option '" + name + "' needs a value"};
        const std::string& value = args[++i];
        if (name == "--state") {
            const auto preset = ParsePresetName(value);
            if (!preset) return {std::nullopt, "unknown state '" + value + "'"};
            options.state = *preset;
        } else if (name == "--udc" || name == "--name") {
            if (!SafeName(value))
                return {std::nullopt, "bad " + name.substr(2) + " '" + value + "'"};
            (name == "--udc" ? options.udc : options.name) = value;
        } else if (name == "--fault") {
            const auto fault = ParseFaultText(value);
            if (!fault) return {std::nullopt, "bad fault '" + value + "'"};
            options.faults.push_back(*fault);
        } else if (name == "--plain") {
            const std::size_t a = value.find(':');
            const std::size_t b = a == std::string::npos ? a : value.find(':', a + 1);
            const auto vid = b == std::string::npos ? std::nullopt : Number(value.substr(0, a), 16);
            const auto pid = vid ? Number(value.substr(a + 1, b - a - 1), 16) : std::nullopt;
            const std::string serial = b == std::string::npos ? "" : value.substr(b + 1);
            if (!vid || !pid || *vid > 0xFFFF || *pid > 0xFFFF || !SafeName(serial))
                return {std::nullopt, "bad identity '" + value + "' (VID:PID:SERIAL, hex ids)"};
            options.plain = UsbIdentity{static_cast<std::uint16_t>(*vid),
                                        static_cast<std::uint16_t>(*pid), serial};
        } else if (name == "--pause-at") {
            const auto opcode = Number(value, 16);
            if (!opcode || *opcode > 0xFF) return {std::nullopt, "bad opcode '" + value + "'"};
            options.pause_at = static_cast<std::uint8_t>(*opcode);
        } else if (name == "--trace") {
            options.trace_path = value;
        } else if (name == "--return-delay-ms") {
            const auto number = Number(value);
            if (!number || *number > 600'000) return {std::nullopt, "bad delay '" + value + "'"};
            options.return_delay_ms = *number;
        } else {
            const auto number = Number(value);
            if (!number || *number < kMinFatImageBytes / 1024 || *number > kMaxFatImageBytes / 1024)
                return {std::nullopt, "disk size must be 64 to 65536 KiB"};
            options.disk_size_kib = *number;
        }
    }
    return {options, {}};
}

std::string GadgetHelpText() {
    std::string text =
        "Usage: torvex-product-gadget [--state STATE] [--udc NAME] [--name NAME] [--cdrom]\n"
        "                             [--fault FAULT]... [--trace FILE]\n"
        "                             [--return-delay-ms N] [--disk-size-kib N] [--pause-at HH]\n"
        "                             [--plain VID:PID:SERIAL]\n"
        "\n"
        "Presents the virtual product as a USB mass-storage device through FunctionFS on a\n"
        "USB device controller (configfs; needs root, libcomposite and usb_f_fs). Its vendor\n"
        "commands are answered by the same model as the runner's --virtual STATE; its jumps\n"
        "re-enumerate it on the bus. SIGTERM or SIGINT removes the device and exits 0.\n"
        "\n"
        "  --state STATE        the product's starting state (default application-old):\n"
        "                       ";
    bool first = true;
    for (const ProductPreset preset : AllPresets()) {
        text += (first ? "" : ", ") + std::string(PresetName(preset));
        first = false;
    }
    text +=
        "\n"
        "  --udc NAME           the device controller (default: the first in /sys/class/udc)\n"
        "  --name NAME          name of the gadget and its FunctionFS instance (default torvex)\n"
        "  --cdrom              a read-only CD-ROM as a second logical unit\n"
        "  --fault FAULT        ACTION[:opcode=HH][:nth=N][:mode=MODE][:skip=N][:times=N];\n"
        "                       ACTION fail (the host sees a transport failure), timeout (no\n"
        "                       status until the host resets), check-condition, gone (the\n"
        "                       product leaves mid-command and is plugged back after the\n"
        "                       return delay in the code it ran last)\n"
        "  --plain VID:PID:SERIAL\n"
        "                       a USB disk that is not the product: the FAT disk only, vendor\n"
        "                       opcodes refused (and traced, \"mode\":\"Plain\")\n"
        "  --pause-at HH        the first vendor request with this opcode (hex) stops the\n"
        "                       gadget (SIGSTOP) before it is answered, until SIGCONT: a\n"
        "                       command the host has sent and waits for\n"
        "  --trace FILE         one JSON line per vendor request\n"
        "  --return-delay-ms N  time away after a jump (default: the product's, 2000)\n"
        "  --disk-size-kib N    size of the disk image, 64 to 65536 (default 1024)\n"
        "  --help               this text\n";
    return text;
}

}  // namespace torvex::sim::gadget

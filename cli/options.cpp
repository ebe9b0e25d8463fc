#include "cli/options.h"

#include <algorithm>
#include <charconv>

#include "base/text.h"
#include "cli/line_options.h"

namespace torvex::cli {

namespace {
// A whole positive decimal number no larger than limit.
std::optional<int> PositiveNumber(const std::string& text, int limit) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value <= 0 || value > limit) return std::nullopt;
    return value;
}
}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--verbose") {
            options.verbose = true;
            continue;
        }
        if (arg == "--allow-sample-firmware") {
            options.allow_sample_firmware = true;
            continue;
        }
        if (arg == "--unmount") {
            options.unmount = true;
            continue;
        }
        if (arg == "--version") {
            options.version = true;
            continue;
        }
        if (TakeLineFlag(arg, options)) continue;
        std::string name = arg;
        std::optional<std::string> value;
        if (const auto eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        if (name != "--tick-ms" && name != "--timeout-s" && name != "--virtual" &&
            !IsLineValueOption(name))
            return {std::nullopt, "unknown option '" + EchoedSafely(arg) + "'"};
        if (!value) {
            if (i + 1 >= args.size())
                return {std::nullopt, "option '" + EchoedSafely(name) + "' needs a value"};
            value = args[++i];
        }
        if (IsLineValueOption(name)) {
            if (auto error = SetLineValue(name, *value, options)) return {std::nullopt, *error};
            continue;
        }
        if (name == "--virtual") {
            options.virtual_state = *value;
            continue;
        }
        const auto number = PositiveNumber(*value, name == "--tick-ms" ? 3'600'000 : 31'536'000);
        if (!number) return {std::nullopt, "bad value '" + EchoedSafely(*value) + "' for " + name};
        (name == "--tick-ms" ? options.tick_ms : options.timeout_s) = *number;
    }
    if (auto error = CheckLineOptions(options)) return {std::nullopt, *error};
    return {options, ""};
}

std::string EchoedSafely(std::string_view value) {
    constexpr std::size_t kMaxCharacters = 200;
    std::u16string shown = ShownSafely(FromUtf8(value));
    // Cut at a character, never inside a surrogate pair.
    std::size_t units = 0;
    for (std::size_t characters = 0; units < shown.size() && characters < kMaxCharacters;
         ++characters)
        units += (shown[units] >= 0xD800 && shown[units] <= 0xDBFF) ? 2 : 1;
    shown.resize(std::min(units, shown.size()));
    return ToUtf8(shown);
}

std::string HelpText(const std::vector<std::string>& virtual_states) {
    std::string text =
        "Usage: torvex-isp-cli [--tick-ms N] [--timeout-s N] [--virtual STATE[,STATE...]]\n"
        "                      [--verbose] [--unmount] [--list] [--port PATH | --serial SN]\n"
        "                      [--json] [--trace FILE | --replay FILE]\n"
        "\n"
        "Finds the product, checks its firmware and updates it without a window.\n"
        "Status-log lines go to stdout, message-box texts to stderr.\n"
        "\n"
        "  --tick-ms N     period of the supervision timer in ms (default 1000)\n"
        "  --timeout-s N   give up when no ending is reached in N seconds (default 120)\n"
        "  --virtual STATE update a virtual product instead of real devices (it comes back\n"
        "                  3 ticks, at most 2 s, after it left); several states, comma\n"
        "                  separated, attach one product each (ports virtual-1, virtual-2, ...);\n"
        "                  STATE is one of:\n"
        "                  ";
    for (std::size_t i = 0; i < virtual_states.size(); ++i)
        text += (i ? ", " : "") + virtual_states[i];
    text +=
        "\n"
        "  --allow-sample-firmware\n"
        "                  on real devices, write even when this build carries sample\n"
        "                  firmware (test rigs only: a real product cannot use it)\n"
        "  --verbose       also print on stderr, one line each starting with\n"
        "                  'torvex-isp-cli: transport: ', every command the product did not\n"
        "                  receive or did not complete with GOOD status, and why\n"
        "  --unmount       when file systems of the product are mounted, unmount them through\n"
        "                  the desktop's disk service (udisks2); without it the runner says\n"
        "                  which mounts hold the product and waits\n";
    text += LineOptionsHelp();
    text +=
        "  --help          this text\n"
        "  --version       the version of the tool\n"
        "\n"
        "Exit status: 0 updated or already up to date (--list: listed); 1 update failed or\n"
        "replug time-out; 2 firmware not supported (or sample firmware refused); 3 no ending\n"
        "before the time-out; 4 more than one product attached and none chosen; 5 the run left\n"
        "its replayed trace; 64 bad usage; 130 interrupted (after an update that wrote: the\n"
        "product needs another update).\n";
    return text;
}

}  // namespace torvex::cli

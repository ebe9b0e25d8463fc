#include "cli/options.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "base/text.h"

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

using Error = std::optional<std::string>;

// One option: its names, how it sets the options (a flag, or a value), and its lines of the help
// text as printed. The table below is the only place that names the options.
struct OptionRow {
    std::string_view name;
    std::string_view alias;  // another spelling, or empty
    void (*flag)(Options& options);
    Error (*value)(Options& options, std::string_view name, const std::string& value);
    std::string_view help;
};

Error Number(int& into, std::string_view name, const std::string& value, int limit) {
    const auto number = PositiveNumber(value, limit);
    if (!number) return "bad value '" + EchoedSafely(value) + "' for " + std::string(name);
    into = *number;
    return std::nullopt;
}

// A production-line value: a port, a serial, a file name; never empty.
Error Text(std::optional<std::string>& into, std::string_view name, const std::string& value) {
    if (value.empty()) return "option '" + std::string(name) + "' needs a value";
    into = value;
    return std::nullopt;
}

// Where the help text lists the states --virtual accepts.
constexpr std::string_view kStatesPlace = "@STATES@";

// In the order of the help text.
const std::array<OptionRow, 14> kOptions = {{
    {"--tick-ms", "", nullptr,
     [](Options& o, std::string_view n, const std::string& v) {
         return Number(o.tick_ms, n, v, 3'600'000);
     },
     "  --tick-ms N     period of the supervision timer in ms (default 1000)\n"},
    {"--timeout-s", "", nullptr,
     [](Options& o, std::string_view n, const std::string& v) {
         return Number(o.timeout_s, n, v, 31'536'000);
     },
     "  --timeout-s N   give up when no ending is reached in N seconds (default 120)\n"},
    {"--virtual", "", nullptr,
     [](Options& o, std::string_view, const std::string& v) -> Error {
         o.virtual_state = v;
         return std::nullopt;
     },
     "  --virtual STATE update a virtual product instead of real devices (it comes back\n"
     "                  3 ticks, at most 2 s, after it left); several states, comma\n"
     "                  separated, attach one product each (ports virtual-1, virtual-2, ...);\n"
     "                  STATE is one of:\n"
     "                  @STATES@\n"},
    {"--allow-sample-firmware", "", [](Options& o) { o.allow_sample_firmware = true; }, nullptr,
     "  --allow-sample-firmware\n"
     "                  on real devices, write even when this build carries sample\n"
     "                  firmware (test rigs only: a real product cannot use it)\n"},
    {"--verbose", "", [](Options& o) { o.verbose = true; }, nullptr,
     "  --verbose       also print on stderr, one line each starting with\n"
     "                  'torvex-isp-cli: transport: ', every command the product did not\n"
     "                  receive or did not complete with GOOD status, and why\n"},
    {"--unmount", "", [](Options& o) { o.unmount = true; }, nullptr,
     "  --unmount       when file systems of the product are mounted, unmount them through\n"
     "                  the desktop's disk service (udisks2); without it the runner says\n"
     "                  which mounts hold the product and waits\n"},
    {"--list", "", [](Options& o) { o.list = true; }, nullptr,
     "  --list          list every USB disk: port, VID:PID, serial, code, and for each\n"
     "                  product the identities of both banks and of the carried images and\n"
     "                  what an update would do (only identity reads are sent); then exit\n"},
    {"--port", "", nullptr,
     [](Options& o, std::string_view n, const std::string& v) { return Text(o.port, n, v); },
     "  --port PATH     only the product on this USB port (as --list shows it), followed\n"
     "                  through its re-enumerations\n"},
    {"--serial", "", nullptr,
     [](Options& o, std::string_view n, const std::string& v) { return Text(o.serial, n, v); },
     "  --serial SN     only the product with this serial, then the port it is on\n"
     "                  (without --port or --serial, more than one product attached ends\n"
     "                  the run with exit status 4 and nothing sent)\n"},
    {"--json", "", [](Options& o) { o.json = true; }, nullptr,
     "  --json          stdout as one JSON object per line: events log, picture, progress,\n"
     "                  button, box, disk (--list) and one final ending\n"},
    {"--trace", "", nullptr,
     [](Options& o, std::string_view n, const std::string& v) { return Text(o.trace, n, v); },
     "  --trace FILE    write every listing, open, close and request to FILE, one JSON\n"
     "                  line each\n"},
    {"--replay", "", nullptr,
     [](Options& o, std::string_view n, const std::string& v) { return Text(o.replay, n, v); },
     "  --replay FILE   run against the trace in FILE instead of devices; exit status 5\n"
     "                  and the differing request named when the run leaves the trace\n"},
    {"--help", "-h", [](Options& o) { o.help = true; }, nullptr, "  --help          this text\n"},
    {"--version", "", [](Options& o) { o.version = true; }, nullptr,
     "  --version       the version of the tool\n"},
}};

const OptionRow* Find(std::string_view name) {
    for (const OptionRow& row : kOptions)
        if (row.name == name || (!row.alias.empty() && row.alias == name)) return &row;
    return nullptr;
}

// Combinations that make no sense; an error text for the first found.
Error CheckCombinations(const Options& options) {
    if (options.port && options.serial) return "choose one of --port and --serial";
    if (options.replay) {
        if (options.virtual_state || options.list || options.port || options.serial ||
            options.trace)
            return "--replay takes the run's options from its trace: use it without --virtual, "
                   "--list, --port, --serial and --trace";
    }
    return std::nullopt;
}

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // A flag is given alone; a value option as "--name value" or "--name=value".
        if (const OptionRow* flag = Find(arg); flag != nullptr && flag->flag != nullptr) {
            flag->flag(options);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const auto eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const OptionRow* row = Find(name);
        if (row == nullptr || row->value == nullptr)
            return {std::nullopt, "unknown option '" + EchoedSafely(arg) + "'"};
        if (!value) {
            if (i + 1 >= args.size())
                return {std::nullopt, "option '" + EchoedSafely(name) + "' needs a value"};
            value = args[++i];
        }
        if (Error error = row->value(options, row->name, *value)) return {std::nullopt, *error};
    }
    if (Error error = CheckCombinations(options)) return {std::nullopt, *error};
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
    std::string states;
    for (std::size_t i = 0; i < virtual_states.size(); ++i)
        states += (i ? ", " : "") + virtual_states[i];
    std::string text =
        "Usage: torvex-isp-cli [--tick-ms N] [--timeout-s N] [--virtual STATE[,STATE...]]\n"
        "                      [--verbose] [--unmount] [--list] [--port PATH | --serial SN]\n"
        "                      [--json] [--trace FILE | --replay FILE]\n"
        "\n"
        "Finds the product, checks its firmware and updates it without a window.\n"
        "Status-log lines go to stdout, message-box texts to stderr.\n"
        "\n";
    for (const OptionRow& row : kOptions) {
        std::string lines(row.help);
        if (const auto at = lines.find(kStatesPlace); at != std::string::npos)
            lines.replace(at, kStatesPlace.size(), states);
        text += lines;
    }
    text +=
        "\n"
        "Exit status: 0 updated or already up to date (--list: listed); 1 update failed or\n"
        "replug time-out; 2 firmware not supported (or sample firmware refused); 3 no ending\n"
        "before the time-out; 4 more than one product attached and none chosen; 5 the run left\n"
        "its replayed trace; 64 bad usage; 130 interrupted (after an update that wrote: the\n"
        "product needs another update).\n";
    return text;
}

}  // namespace torvex::cli

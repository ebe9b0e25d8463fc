#include "cli/line_options.h"

namespace torvex::cli {

bool TakeLineFlag(std::string_view arg, Options& options) {
    if (arg == "--list") return options.list = true;
    if (arg == "--json") return options.json = true;
    return false;
}

bool IsLineValueOption(std::string_view name) {
    return name == "--port" || name == "--serial" || name == "--trace" || name == "--replay";
}

std::optional<std::string> SetLineValue(std::string_view name, const std::string& value,
                                        Options& options) {
    if (value.empty()) return "option '" + std::string(name) + "' needs a value";
    if (name == "--port") options.port = value;
    if (name == "--serial") options.serial = value;
    if (name == "--trace") options.trace = value;
    if (name == "--replay") options.replay = value;
    return std::nullopt;
}

std::optional<std::string> CheckLineOptions(const Options& options) {
    if (options.port && options.serial) return "choose one of --port and --serial";
    if (options.replay) {
        if (options.virtual_state || options.list || options.port || options.serial ||
            options.trace)
            return "--replay takes the run's options from its trace: use it without --virtual, "
                   "--list, --port, --serial and --trace";
    }
    return std::nullopt;
}

std::string LineOptionsHelp() {
    return "  --list          list every USB disk: port, VID:PID, serial, code, and for each\n"
           "                  product the identities of both banks and of the carried images and\n"
           "                  what an update would do (only identity reads are sent); then exit\n"
           "  --port PATH     only the product on this USB port (as --list shows it), followed\n"
           "                  through its re-enumerations\n"
           "  --serial SN     only the product with this serial, then the port it is on\n"
           "                  (without --port or --serial, more than one product attached ends\n"
           "                  the run with exit status 4 and nothing sent)\n"
           "  --json          stdout as one JSON object per line: events log, picture, progress,\n"
           "                  button, box, disk (--list) and one final ending\n"
           "  --trace FILE    write every listing, open, close and request to FILE, one JSON\n"
           "                  line each\n"
           "  --replay FILE   run against the trace in FILE instead of devices; exit status 5\n"
           "                  and the differing request named when the run leaves the trace\n";
}

}  // namespace torvex::cli

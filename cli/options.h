#pragma once
// Command line of the headless runner.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvex::cli {

struct Options {
    int tick_ms = 1000;
    int timeout_s = 120;
    std::optional<std::string> virtual_state;  // run on the virtual product in this state
    bool verbose = false;                      // transport diagnostics on stderr
    bool allow_sample_firmware = false;        // real devices: write even the sample firmware
    bool unmount = false;  // unmount a mounted product through the desktop's disk service
    bool help = false;
    bool version = false;

    // Production lines (see README.md: --list, --port, --serial, --json, --trace, --replay).
    bool list = false;                  // --list: list the USB disks and products, then exit
    std::optional<std::string> port;    // --port PATH: only the product on this USB port
    std::optional<std::string> serial;  // --serial SN: only the product with this serial
    bool json = false;                  // --json: stdout as one JSON event per line
    std::optional<std::string> trace;   // --trace FILE: every platform call as a JSON line
    std::optional<std::string> replay;  // --replay FILE: the platform answers from a trace
};

struct ParseResult {
    std::optional<Options> options;  // empty: bad usage
    std::string error;               // what was wrong, for stderr
};

ParseResult ParseOptions(const std::vector<std::string>& args);

// An option value as error messages show it: control characters as U+FFFD, malformed UTF-8 as
// U+FFFD, at most 200 characters.
std::string EchoedSafely(std::string_view value);

// The --help text; virtual_states lists the states --virtual accepts.
std::string HelpText(const std::vector<std::string>& virtual_states);

}  // namespace torvex::cli

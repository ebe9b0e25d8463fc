#pragma once
// The command line of torvex-product-gadget. Pure: words in, options or an error out.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "simulator/fault_plan.h"
#include "simulator/product_presets.h"

namespace torvex::sim::gadget {

struct GadgetOptions {
    ProductPreset state = ProductPreset::ApplicationOld;
    std::string udc;              // empty: the first one in /sys/class/udc
    std::string name = "torvex";  // configfs gadget and FunctionFS instance
    bool cdrom = false;
    std::vector<Fault> faults;
    std::string trace_path;
    std::optional<std::uint32_t> return_delay_ms;  // empty: the product's own
    std::uint32_t disk_size_kib = 1024;
    std::optional<UsbIdentity> plain;      // --plain VID:PID:SERIAL
    std::optional<std::uint8_t> pause_at;  // --pause-at HH
    bool help = false;
};

struct GadgetParse {
    std::optional<GadgetOptions> options;
    std::string error;
};

GadgetParse ParseGadgetOptions(const std::vector<std::string>& args);

// "fail", "timeout", "check-condition" or "gone", then ":key=value" parts: opcode=HH (the
// command's second byte, hex), nth=N (the Nth vendor request), mode=NAME, skip=N, times=N
// (0: every one).
std::optional<Fault> ParseFaultText(const std::string& text);

std::string GadgetHelpText();

}  // namespace torvex::sim::gadget

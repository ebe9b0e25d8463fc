#include "bench/update_model.h"

#include <string_view>

namespace torvex::bench {

namespace {
bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}
}  // namespace

ModelledUpdate ModelUpdate(std::span<const sim::TraceEntry> trace, const ProductCostModel& model) {
    ModelledUpdate result;
    for (const sim::TraceEntry& entry : trace) {
        ++result.commands;
        result.data_bytes += entry.length;
        const double bytes = static_cast<double>(entry.length);
        double ms = model.command_round_trip_ms + bytes / (model.transfer_mb_per_s * 1000.0);
        if (Contains(entry.command, "ERASE")) ms += model.erase_ms;
        if (Contains(entry.command, "PROGRAM")) ms += model.program_ms_per_64k * bytes / 65536.0;
        if (Contains(entry.command, "CHECK")) ms += model.checksum_ms;
        result.product_ms += ms;
    }
    return result;
}

}  // namespace torvex::bench

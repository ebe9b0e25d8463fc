#include "simulator/wire_trace.h"

#include <cstdint>

#include "simulator/command_table.h"

namespace torvex::sim {

void DataSourceRegistry::Register(std::string name, std::span<const std::uint8_t> bytes) {
    sources_.push_back({std::move(name), bytes});
}

std::optional<DataSourceRegistry::Found> DataSourceRegistry::Find(const std::uint8_t* data,
                                                                  std::size_t length) const {
    if (data == nullptr) return std::nullopt;
    // Compare addresses as integers: the pointer may lie in none of the spans.
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    for (const auto& source : sources_) {
        const auto begin = reinterpret_cast<std::uintptr_t>(source.bytes.data());
        const auto end = begin + source.bytes.size();
        if (at < begin || at >= end) continue;
        const std::size_t offset = at - begin;
        return Found{source.name, offset, length <= source.bytes.size() - offset};
    }
    return std::nullopt;
}

std::string Describe(const TraceEntry& entry) {
    std::string text = HexBytes(entry.cdb);
    text += entry.direction == DataDirection::In ? " In " : " Out ";
    text += std::to_string(entry.length);
    text += entry.accepted ? " accepted" : entry.delivered ? " delivered" : " failed";
    if (entry.delivered && entry.scsi_status != 0)
        text += " status " + std::to_string(entry.scsi_status);
    if (!entry.command.empty()) text += " " + entry.command;
    if (!entry.source.empty())
        text += " from " + entry.source + "+" + std::to_string(entry.source_offset);
    return text;
}

std::string Describe(const ProtocolViolation& violation) {
    std::string text = HexBytes(violation.cdb);
    text += violation.direction == DataDirection::In ? " In " : " Out ";
    text += std::to_string(violation.length);
    if (violation.mode) text += " in " + std::string(ModeName(*violation.mode));
    text += ": " + violation.reason;
    return text;
}

}  // namespace torvex::sim

#pragma once
// What went over the virtual wire: every request's command block, direction, length, whether the
// product took it, and for data-out requests which registered byte span (a firmware block, say)
// and which offset in it the data came from.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/device_platform.h"
#include "simulator/product_mode.h"

namespace torvex::sim {

using DiskIndex = std::size_t;
inline constexpr DiskIndex kNoDisk = static_cast<DiskIndex>(-1);

struct TraceEntry {
    std::uint64_t time_ms = 0;
    DiskIndex disk = kNoDisk;         // kNoDisk: the handle reached no disk
    std::optional<ProductMode> mode;  // the product's code at the time; empty for other disks
    std::vector<std::uint8_t> cdb;
    DataDirection direction = DataDirection::In;
    std::uint32_t length = 0;
    bool accepted = false;  // the product carried the command out
    bool delivered = false;
    std::uint8_t scsi_status = 0;
    TransportError error = TransportError::None;
    std::string command;  // the decoded command's name, empty when none matched
    std::string source;   // data-out: the registered span holding the data, or empty
    std::size_t source_offset = 0;
    bool source_fits = false;  // the whole transfer lies inside that span
};

// A request the product did not accept because it broke the protocol (or reached a disk that
// is not the product at all). A correct tool leaves this list empty.
struct ProtocolViolation {
    std::uint64_t time_ms = 0;
    DiskIndex disk = kNoDisk;
    std::optional<ProductMode> mode;
    std::vector<std::uint8_t> cdb;
    DataDirection direction = DataDirection::In;
    std::uint32_t length = 0;
    std::string reason;
};

// Named byte spans whose addresses identify where data-out bytes came from.
class DataSourceRegistry {
  public:
    void Register(std::string name, std::span<const std::uint8_t> bytes);
    void Clear() { sources_.clear(); }

    struct Found {
        std::string name;
        std::size_t offset = 0;
        bool fits = false;
    };
    std::optional<Found> Find(const std::uint8_t* data, std::size_t length) const;

  private:
    struct Source {
        std::string name;
        std::span<const std::uint8_t> bytes;
    };
    std::vector<Source> sources_;
};

// One line for failure messages: "FF 62 07 00 ... In 0 accepted ISP_CMD_SELECT_AES_KEY 0x07".
std::string Describe(const TraceEntry& entry);
std::string Describe(const ProtocolViolation& violation);

}  // namespace torvex::sim

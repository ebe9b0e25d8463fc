#pragma once
// Sends hand-written command blocks to the virtual platform, the way a test reads them off the
// product's command tables: bytes, direction flag, length, buffer.

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "device/device_platform.h"
#include "simulator/sample_firmware.h"
#include "simulator/virtual_platform.h"

namespace torvex::sim::testing {

using Cdb = std::vector<std::uint8_t>;

class Wire {
  public:
    Wire(VirtualPlatform& platform, DeviceHandle handle) : platform_(platform), handle_(handle) {}

    // Data-in: `length` bytes into `buffer` (may be null only for a test of a missing buffer).
    PassThroughResult In(const Cdb& cdb, std::uint32_t length, std::uint8_t* buffer) {
        PassThroughRequest request;
        request.cdb = cdb;
        request.direction = DataDirection::In;
        request.data_in = buffer;
        request.length = length;
        return platform_.PassThrough(handle_, request);
    }
    // Data-out of every byte of `data`.
    PassThroughResult Out(const Cdb& cdb, std::span<const std::uint8_t> data) {
        PassThroughRequest request;
        request.cdb = cdb;
        request.direction = DataDirection::Out;
        request.data_out = data.data();
        request.length = static_cast<std::uint32_t>(data.size());
        return platform_.PassThrough(handle_, request);
    }
    // No data, with the direction flag the table lists.
    PassThroughResult None(const Cdb& cdb, DataDirection direction) {
        PassThroughRequest request;
        request.cdb = cdb;
        request.direction = direction;
        return platform_.PassThrough(handle_, request);
    }

  private:
    VirtualPlatform& platform_;
    DeviceHandle handle_;
};

inline DeviceHandle OpenDisk(VirtualPlatform& platform, DiskIndex disk) {
    return platform.OpenExclusive(platform.PathOf(disk));
}

// The sample blocks, made once per test program.
inline std::span<const std::uint8_t> SampleBlock(std::uint16_t id) {
    static std::map<std::uint16_t, std::vector<std::uint8_t>> blocks;
    auto& block = blocks[id];
    if (block.empty()) block = MakeSampleFirmwareBlock(id);
    return block;
}

inline std::span<const std::uint8_t> MainSlice(std::uint16_t id) {
    return SampleBlock(id).subspan(512, 65536);
}
inline std::span<const std::uint8_t> InfoSlice(std::uint16_t id) {
    return SampleBlock(id).subspan(512, 128);
}

}  // namespace torvex::sim::testing

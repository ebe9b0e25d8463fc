#pragma once
// The product's procedures written out by hand from the command tables, block by block, for
// driving the virtual product without the tool.

#include <cstdint>
#include <span>
#include <vector>

#include "tests/sim/sim_wire.h"

namespace torvex::sim::testing {

struct Step {
    Cdb cdb;
    DataDirection direction;
    std::span<const std::uint8_t> data_out;  // data-out bytes; empty for none
    std::uint32_t in_length = 0;             // data-in length
};

// The EF32_0 procedure: main memory and both pages from the sample blocks, then the jump when
// `jump` (not in mask code 0210).
inline std::vector<Step> Ef32Procedure(std::span<const std::uint8_t> main,
                                       std::span<const std::uint8_t> info, bool jump) {
    constexpr auto In = DataDirection::In;
    constexpr auto Out = DataDirection::Out;
    std::vector<Step> steps = {
        {{0xFF, 0x62, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, {}},
        {{0xFF, 0x29, 0x00, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Out, main},
        {{0xFF, 0x24, 0x00, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Out, {}},
        {{0xFF, 0x62, 0x1C, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, In, {}},
        {{0xFF, 0x2A, 0x00, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Out, info},
        {{0xFF, 0x25, 0x00, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Out, {}},
        {{0xFF, 0x2A, 0x01, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Out, info},
        {{0xFF, 0x25, 0x01, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Out, {}},
    };
    if (jump) steps.push_back({{0xFF, 0x27, 0x01, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Out, {}});
    return steps;
}

// The EF64 procedure in MaskOtaDialect (mask code 0210, OTA code).
inline std::vector<Step> Ef64MaskOtaProcedure(std::span<const std::uint8_t> main,
                                              std::span<const std::uint8_t> info) {
    constexpr auto In = DataDirection::In;
    constexpr auto Out = DataDirection::Out;
    return {
        {{0xFF, 0x52, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, {}},
        {{0xFF, 0x53, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, {}},
        {{0xFF, 0x62, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, {}},
        {{0xFF, 0x5A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Out, main},
        {{0xFF, 0x58, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, {}},
        {{0xFF, 0x62, 0x1C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, {}},
        {{0xFF, 0x5B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Out, info},
        {{0xFF, 0x59, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, {}},
        {{0xFF, 0x56, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Out, {}},
    };
}

// The EF64 procedure in ProtectIspDialect (protected ISP code).
inline std::vector<Step> Ef64ProtectProcedure(std::span<const std::uint8_t> main,
                                              std::span<const std::uint8_t> info) {
    constexpr auto In = DataDirection::In;
    constexpr auto Out = DataDirection::Out;
    return {
        {{0xFF, 0x52, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, {}},
        {{0xFF, 0x53, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, {}},
        {{0xFF, 0x62, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, {}},
        {{0xFF, 0x50, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Out, main},
        {{0xFF, 0x58, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, In, {}},
        {{0xFF, 0x62, 0x1C, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, In, {}},
        {{0xFF, 0x5A, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Out, info},
        {{0xFF, 0x59, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, In, {}},
        {{0xFF, 0x56, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, Out, {}},
    };
}

inline const Cdb kGetFwInfo = {0xFF, 0xA0, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
inline const Cdb kGetEf32Info = {0xFF, 0xA0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
inline const Cdb kSelectKeyMain = {0xFF, 0x62, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
inline const Cdb kPutBinxHeader = {0xFF, 0xA0, 0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
inline const Cdb kGetBinxInfo = {0xFF, 0xA0, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
inline const Cdb kExecute = {0xFF, 0xA0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0};

// Runs the steps in order on one handle; data-in replies and zero-length commands use one
// shared buffer. Returns each step's result.
inline std::vector<PassThroughResult> RunSteps(VirtualPlatform& platform, DeviceHandle handle,
                                               const std::vector<Step>& steps) {
    static std::vector<std::uint8_t> shared(66048);
    Wire wire(platform, handle);
    std::vector<PassThroughResult> results;
    for (const Step& step : steps) {
        if (step.direction == DataDirection::Out && !step.data_out.empty())
            results.push_back(wire.Out(step.cdb, step.data_out));
        else if (step.direction == DataDirection::In)
            results.push_back(wire.In(step.cdb, step.in_length, shared.data()));
        else
            results.push_back(wire.None(step.cdb, DataDirection::Out));
    }
    return results;
}

// SCSI status per step; 0xFF for a request that was not delivered.
inline std::vector<std::uint8_t> Statuses(const std::vector<PassThroughResult>& results) {
    std::vector<std::uint8_t> statuses;
    for (const auto& r : results) statuses.push_back(r.delivered ? r.scsi_status : 0xFF);
    return statuses;
}

// Reads a 64-byte information block; empty if the read failed.
inline std::vector<std::uint8_t> ReadInfo(VirtualPlatform& platform, DeviceHandle handle,
                                          const Cdb& cdb) {
    std::vector<std::uint8_t> reply(64);
    if (!Wire(platform, handle).In(cdb, 64, reply.data()).delivered) return {};
    return reply;
}

inline std::vector<std::uint8_t> Bytes(const IdentityBlock& identity) {
    return {identity.begin(), identity.end()};
}

}  // namespace torvex::sim::testing

#pragma once
// How a run of the tool ended, reported once through the window port when it happens. The
// headless runner takes its exit status from it; nothing tells endings apart by their texts.

#include <cstdint>

namespace torvex {

enum class RunEnding : std::uint8_t {
    Success,           // "Updat FW.... Update complete !!"
    Failure,           // a step failed; the operator is asked to replug
    NotSupported,      // the product's code or firmware cannot be updated by this tool
    AlreadyUpdated,    // the product already runs the carried firmware (or newer)
    ReplugTimeout,     // the product did not come back after a bank switch
    FirmwareRejected,  // the carried EF64 image is not one this tool may write
};

}  // namespace torvex

#pragma once
// The product's USB function through FunctionFS: its descriptors and strings written to ep0,
// ep0's events and class requests, and the two bulk endpoints (ep1 IN, ep2 OUT) as files.

#include <linux/usb/functionfs.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace torvex::sim::gadget {

// One mass-storage interface (class 8, SCSI transparent, bulk-only) with a bulk IN and a bulk OUT
// endpoint, full and high speed; then its one string (the interface's name).
std::vector<std::uint8_t> FunctionDescriptors();
std::vector<std::uint8_t> FunctionStrings();

inline constexpr std::uint8_t kGetMaxLun = 0xFE;
inline constexpr std::uint8_t kBulkOnlyReset = 0xFF;

class FunctionFsDevice {
  public:
    FunctionFsDevice() = default;
    ~FunctionFsDevice();
    FunctionFsDevice(const FunctionFsDevice&) = delete;
    FunctionFsDevice& operator=(const FunctionFsDevice&) = delete;

    // Opens ep0 in the mounted FunctionFS `dir`, writes the descriptors and strings, then opens
    // the endpoint files. False with `error` set when any step fails.
    bool Open(const std::string& dir, std::string& error);
    void Close();

    int Ep0() const { return ep0_; }
    // The events waiting on ep0 (call when it polls readable).
    std::vector<usb_functionfs_event> ReadEvents();
    // Answers a control request with data in, acknowledges one without data, or stalls ep0.
    bool ReplyIn(const usb_ctrlrequest& setup, std::span<const std::uint8_t> data);
    bool Acknowledge();
    void StallEp0(const usb_ctrlrequest& setup);

    // Bulk transfers; false on any failure (the endpoint went away, a signal).
    long ReadOut(std::uint8_t* data, std::size_t size);
    bool ReadOutFully(std::uint8_t* data, std::size_t size);
    bool WriteIn(std::span<const std::uint8_t> data);
    // Stalls an endpoint until the host clears it.
    void HaltIn();
    void HaltOut();

  private:
    int ep0_ = -1;
    int in_ = -1;
    int out_ = -1;
};

}  // namespace torvex::sim::gadget

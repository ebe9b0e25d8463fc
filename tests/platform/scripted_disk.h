#pragma once
// A small device that answers behind a fake node from a script, for the back end's own tests:
// it keeps every request it received, data-out bytes included, and answers each with the next
// scripted answer (default: delivered, GOOD, no data).

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "device/device_platform.h"

namespace torvex::testing {

struct ScriptedAnswer {
    PassThroughResult result;
    std::vector<std::uint8_t> data_in;  // written to the start of a data-in buffer when delivered
};

struct ReceivedRequest {
    std::vector<std::uint8_t> cdb;
    DataDirection direction = DataDirection::In;
    std::uint32_t length = 0;
    std::uint32_t timeout_seconds = 0;
    std::vector<std::uint8_t> data_out;  // the bytes of a data-out request
};

class ScriptedDisk : public DevicePlatform {
  public:
    DiskListing ListDiskInterfaces() override { return {}; }
    DeviceHandle OpenExclusive(std::u16string_view) override { return 1; }
    std::string LastOpenError() const override { return {}; }
    std::u16string OpenedParentDeviceId(DeviceHandle) const override { return {}; }
    void Close(DeviceHandle) override {}
    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override;

    void Script(ScriptedAnswer answer);
    std::vector<ReceivedRequest> Received() const;

    static PassThroughResult Delivered(std::uint8_t status = kScsiStatusGood);
    static ScriptedAnswer CheckCondition(std::vector<std::uint8_t> sense);
    static ScriptedAnswer Undelivered(TransportError error);

  private:
    mutable std::mutex mutex_;  // called from umockdev's worker thread, inspected from the test
    std::deque<ScriptedAnswer> script_;
    std::vector<ReceivedRequest> received_;
};

}  // namespace torvex::testing

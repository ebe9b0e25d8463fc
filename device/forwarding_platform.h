#pragma once
// A device platform in front of another, passing every call through unchanged. Platforms that
// change one thing about the one behind them (record its calls, show one disk only, stop it at a
// given command) derive from it and override just that.

#include "device/device_platform.h"

namespace torvex {

class ForwardingPlatform : public DevicePlatform {
  public:
    // The platform behind outlives this one.
    explicit ForwardingPlatform(DevicePlatform& inner) : inner_(inner) {}

    DiskListing ListDiskInterfaces() override { return inner_.ListDiskInterfaces(); }
    DeviceHandle OpenExclusive(std::u16string_view path) override {
        return inner_.OpenExclusive(path);
    }
    std::string LastOpenError() const override { return inner_.LastOpenError(); }
    std::u16string OpenedParentDeviceId(DeviceHandle handle) const override {
        return inner_.OpenedParentDeviceId(handle);
    }
    void Close(DeviceHandle handle) override { inner_.Close(handle); }
    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override {
        return inner_.PassThrough(handle, request);
    }

  protected:
    DevicePlatform& Inner() { return inner_; }
    const DevicePlatform& Inner() const { return inner_; }

  private:
    DevicePlatform& inner_;
};

}  // namespace torvex

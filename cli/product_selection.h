#pragma once
// Which product a runner works with, when several may share the PC: a device platform in front of
// the real one whose listing holds only that product's disk.
//
// With --port the runner keeps to the disks on that USB port; with --serial, to the port where a
// product with that serial was first listed (the serial changes as the product re-enumerates in
// its other codes, the port stays). Without either, the runner keeps to the port of the one
// product it finds; when it finds more than one product before it has chosen, it must not pick
// one: the selection hides every product and reports them, and the runner ends (exit status 4).
// A platform that cannot tell the port (an empty port path) is followed by serial, or not
// filtered at all when nothing was asked for.

#include <optional>
#include <set>
#include <string>

#include "device/device_platform.h"
#include "device/forwarding_platform.h"

namespace torvex::cli {

struct SelectionCriteria {
    std::optional<std::u16string> port;
    std::optional<std::u16string> serial;
};

class ProductSelection final : public ForwardingPlatform {
  public:
    ProductSelection(DevicePlatform& inner, SelectionCriteria criteria)
        : ForwardingPlatform(inner), criteria_(std::move(criteria)) {}

    DiskListing ListDiskInterfaces() override;
    // A disk the selection hid is never opened.
    DeviceHandle OpenExclusive(std::u16string_view path) override;
    std::string LastOpenError() const override;

    // The listing in which several products were found before one was chosen; the run must end
    // without touching any of them.
    const std::optional<DiskListing>& SeveralProducts() const { return several_; }
    // The port the runner keeps to, once chosen.
    const std::optional<std::u16string>& ChosenPort() const { return port_; }

  private:
    bool Keeps(const DiskInterface& disk) const;
    void Choose(const DiskListing& listing);

    SelectionCriteria criteria_;
    std::optional<std::u16string> port_;    // the chosen port
    std::optional<std::u16string> serial_;  // followed by serial: the platform has no ports
    std::optional<DiskListing> several_;
    std::set<std::u16string> hidden_paths_;
    bool refused_open_ = false;
};

}  // namespace torvex::cli

#pragma once
// The product as a USB mass-storage device sees it, without any I/O: each bulk-only command
// goes to the standard disk (or the CD-ROM beside it) or, for the product's vendor opcodes, to
// the same virtual product the in-process platform runs, and comes back as the data and the
// status wrapper to send. The product's leaves and returns come out of Advance as the steps a
// USB device takes (unbind, bind under its new identity), on the same clock and schedule as in
// process.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "simulator/gadget/bot_transport.h"
#include "simulator/gadget/scsi_disk.h"
#include "simulator/virtual_platform.h"

namespace torvex::sim::gadget {

struct GadgetConfig {
    ProductConfig product;
    std::size_t disk_bytes = 1024 * 1024;
    bool cdrom = false;  // a read-only CD-ROM as a second logical unit
    // A USB disk that is not the product, under this identity: its FAT disk only; vendor
    // opcodes are refused as a plain disk refuses them (and traced, so that a rig can show
    // that none reached it).
    std::optional<UsbIdentity> plain;
    // The first vendor request with this opcode stops the whole process (SIGSTOP) before it is
    // answered, until the rig sends SIGCONT: a command held in the host's kernel.
    std::optional<std::uint8_t> pause_at;
};

struct CommandOutcome {
    enum class Ending : std::uint8_t {
        Status,    // send data_in (if any), then the status wrapper
        NoStatus,  // the command hangs: nothing more until the host resets the device
        Gone,      // the product left in the middle of the command: no data, no status
    };
    Ending ending = Ending::Status;
    std::vector<std::uint8_t> data_in;  // at most the host's data length
    std::array<std::uint8_t, kCswSize> csw{};
};

// A change of the product's presence on the bus.
struct PresenceStep {
    bool present = false;  // false: unbind; true: bind under `identity`
    UsbIdentity identity;
};

class GadgetProduct {
  public:
    explicit GadgetProduct(const GadgetConfig& config);
    ~GadgetProduct();

    // The highest logical unit number (answer to GET MAX LUN).
    std::uint8_t MaxLun() const { return cdrom_ ? 1 : 0; }
    bool Present() const { return present_; }
    UsbIdentity Identity() const { return plain_ ? *plain_ : product_->Usb(); }
    ProductMode Mode() const { return product_->Mode(); }
    bool Plain() const { return plain_.has_value(); }
    VirtualProduct& Product() { return *product_; }

    // One command; `data_out` holds what the host sent in the data phase.
    CommandOutcome Command(const CommandBlockWrapper& cbw, std::span<const std::uint8_t> data_out);

    // Moves the product's clock on to `now_ms` (never back) and returns its leaves and returns
    // in the order they happened, a leave during the last command included. A product that was
    // unplugged (it does not come back by itself) is plugged in again after its return delay,
    // in the code it ran last, as a person would plug it back.
    std::vector<PresenceStep> Advance(std::uint64_t now_ms);
    std::uint64_t Now() const { return platform_.Now(); }
    // When Advance next has something to do; empty when nothing is due.
    std::optional<std::uint64_t> NextDue() const;

    // One JSON line per vendor request, in the keys of the runner's trace plus "mode".
    void SetTraceSink(std::function<void(const std::string&)> sink) { trace_ = std::move(sink); }
    // One line for each request the product found invalid (the sender broke the protocol).
    void SetViolationSink(std::function<void(const std::string&)> sink) {
        violation_sink_ = std::move(sink);
    }
    std::size_t ViolationCount() const { return platform_.Violations().size(); }

  private:
    CommandOutcome Vendor(const CommandBlockWrapper& cbw, std::span<const std::uint8_t> data_out);
    CommandOutcome RefuseVendor(const CommandBlockWrapper& cbw);
    void NotePresence(std::vector<PresenceStep>& steps);
    void OnArrival();

    VirtualPlatform platform_;
    VirtualProduct* product_ = nullptr;
    DeviceHandle handle_ = kInvalidDeviceHandle;
    ScsiDisk disk_;
    std::unique_ptr<ScsiDisk> cdrom_;
    std::vector<std::uint8_t> application_image_;
    bool showing_application_image_ = false;
    std::optional<UsbIdentity> plain_;
    std::optional<std::uint8_t> pause_at_;
    bool present_ = true;
    std::u16string path_;
    std::optional<std::uint64_t> unplugged_at_;
    std::function<void(const std::string&)> trace_;
    std::function<void(const std::string&)> violation_sink_;
    std::size_t reported_violations_ = 0;
};

// The opcodes that go to the product's own command handling rather than the standard disk.
bool IsVendorOpcode(std::uint8_t opcode);

}  // namespace torvex::sim::gadget

#pragma once
// The device platform of the virtual world: the disks attached to a virtual PC (virtual products
// and plain disks that are not the product), their listing, exclusive opens and pass-through
// requests, and a clock the test controls on which products leave, come back and raise
// device-change events.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/device_platform.h"
#include "simulator/virtual_product.h"
#include "simulator/wire_trace.h"

namespace torvex::sim {

// Compatible ids of a USB mass-storage disk as the platform lists them: a list of strings, each
// ended by a zero character.
inline const std::u16string kUsbStorageCompatibleIds(u"USBSTOR\\Disk\0GenDisk\0", 21);

// A disk that is not the product. It opens like any disk; a vendor command sent to it is a
// protocol violation (answered with CHECK CONDITION, ILLEGAL REQUEST, as a real disk would).
struct PlainDisk {
    std::u16string compatible_ids;
    std::u16string parent_device_id;

    // An internal SATA disk: compatible ids that do not start with "USBSTOR\Disk".
    static PlainDisk NonUsb();
    // A USB stick of another maker, or with ids the product never shows.
    static PlainDisk Usb(std::uint16_t vendor_id, std::uint16_t product_id, std::string serial);
};

struct DeviceEvent {
    std::uint32_t type = 0;  // kDeviceArrival or kDeviceRemoveComplete
    std::uint64_t time_ms = 0;
    DiskIndex disk = kNoDisk;
};

class VirtualPlatform : public DevicePlatform {
  public:
    VirtualPlatform();
    ~VirtualPlatform() override;

    // The port.
    DiskListing ListDiskInterfaces() override;
    DeviceHandle OpenExclusive(std::u16string_view path) override;
    std::string LastOpenError() const override { return last_open_error_; }
    std::u16string OpenedParentDeviceId(DeviceHandle handle) const override;
    void Close(DeviceHandle handle) override;
    PassThroughResult PassThrough(DeviceHandle handle, const PassThroughRequest& request) override;

    // Attaching disks; indexes count from 0 in the order of attaching and are the listing order.
    VirtualProduct& AddProduct(const ProductConfig& config, bool present = true);
    DiskIndex AddPlainDisk(const PlainDisk& disk, bool present = true);
    std::size_t DiskCount() const { return disks_.size(); }
    // The product at `disk` (the first product attached when omitted); aborts if there is none.
    VirtualProduct& Product(DiskIndex disk = kNoDisk);
    DiskIndex IndexOf(const VirtualProduct& product) const;

    // Presence. A disk that leaves is gone at once: it is no longer listed, and requests on
    // handles opened before fail with TransportError::NoDevice. The removal event follows after
    // the product's removal_event_delay_ms; a product that returns shows up after its
    // return_delay_ms under a new path, and its arrival event follows after arrival_event_delay_ms.
    bool IsPresent(DiskIndex disk) const;
    std::u16string PathOf(DiskIndex disk) const;  // empty while absent
    // The port a disk is plugged into: "virtual-1" for the first disk attached, and so on. It
    // stays while the disk leaves and comes back, as a USB port does.
    static std::u16string PortOf(DiskIndex disk);
    void Unplug(DiskIndex disk);
    void Plug(DiskIndex disk);  // a product in the code it ran last
    void Plug(DiskIndex disk, ProductMode mode);
    void Reenumerate(DiskIndex disk, ProductMode next_mode);
    // Another program holds the disk open: every exclusive open fails.
    void SetHeldByOtherProgram(DiskIndex disk, bool held);

    // The clock. Nothing happens between calls: departures, returns and events scheduled for a
    // time up to Now() + ms happen in time order inside this call.
    void AdvanceClock(std::uint64_t ms);
    std::uint64_t Now() const { return now_ms_; }
    std::optional<std::uint64_t> NextScheduledTime() const;
    // Events are handed to the listener when one is set (from inside AdvanceClock only, never
    // inside a request), else kept until TakeEvents.
    void SetEventListener(std::function<void(const DeviceEvent&)> listener);
    std::vector<DeviceEvent> TakeEvents();

    // Listing faults: the listing fails at step `failure`, at the interface that would have
    // been listed as number `at_interface` (InterfaceSet fails the whole listing).
    void FailListing(ListingFailure failure, std::size_t at_interface = 0, std::uint32_t times = 1);

    // Records.
    const std::vector<TraceEntry>& Trace() const { return trace_; }
    void ClearTrace() { trace_.clear(); }
    const std::vector<ProtocolViolation>& Violations() const { return violations_; }
    void ClearViolations() { violations_.clear(); }
    void RegisterDataSource(std::string name, std::span<const std::uint8_t> bytes) {
        sources_.Register(std::move(name), bytes);
    }

    // Handle accounting: a well-behaved caller closes every handle it opened.
    std::uint32_t OpenCount() const { return opens_; }
    std::uint32_t CloseCount() const { return closes_; }
    std::uint32_t FailedOpenCount() const { return failed_opens_; }
    std::uint32_t BadCloseCount() const { return bad_closes_; }  // unknown or closed handles
    std::uint32_t OpenHandleCount() const { return opens_ - closes_; }

  private:
    struct Disk {
        std::unique_ptr<VirtualProduct> product;  // null for a plain disk
        PlainDisk plain;
        bool present = false;
        std::uint32_t generation = 0;  // counts arrivals; part of the path
        std::uint64_t epoch = 0;       // bumps cancel scheduled departures and returns
        DeviceHandle holder = kInvalidDeviceHandle;
        bool held_by_other = false;
    };
    struct Handle {
        DeviceHandle id;
        DiskIndex disk;
        std::uint32_t generation;
        bool open;
    };
    struct Scheduled {
        enum class Kind { Leave, Arrive, Event } kind;
        std::uint64_t time;
        std::uint64_t seq;
        DiskIndex disk;
        std::uint64_t epoch;
        std::optional<ProductMode> mode;  // Leave: the return code; Arrive: the code
        std::uint32_t event_type;
    };
    struct ListingFault {
        ListingFailure failure;
        std::size_t at;
        std::uint32_t times;
    };

    Disk& At(DiskIndex disk);
    const Disk& At(DiskIndex disk) const;
    Handle* OpenHandle(DeviceHandle handle);
    PassThroughResult ToPlainDisk(DiskIndex disk, const PassThroughRequest& request,
                                  TraceEntry& entry);
    PassThroughResult ToProduct(DiskIndex disk, const PassThroughRequest& request,
                                TraceEntry& entry);
    void RecordViolation(const TraceEntry& entry, std::string reason);
    void Depart(DiskIndex disk, const Departure& departure);

    void Leave(DiskIndex disk, std::optional<ProductMode> return_mode);
    void Arrive(DiskIndex disk, std::optional<ProductMode> mode);
    void Schedule(Scheduled item);
    void Raise(std::uint32_t type, DiskIndex disk, std::uint64_t delay_ms);
    void Process(const Scheduled& item);
    const ProductTiming& TimingOf(DiskIndex disk) const;

    std::vector<Disk> disks_;
    std::vector<Handle> handles_;
    std::vector<Scheduled> schedule_;
    std::uint64_t schedule_seq_ = 0;
    std::uint64_t now_ms_ = 0;
    std::function<void(const DeviceEvent&)> listener_;
    std::vector<DeviceEvent> events_;
    std::vector<ListingFault> listing_faults_;
    std::vector<TraceEntry> trace_;
    std::vector<ProtocolViolation> violations_;
    DataSourceRegistry sources_;
    std::uint32_t opens_ = 0;
    std::uint32_t closes_ = 0;
    std::uint32_t failed_opens_ = 0;
    std::uint32_t bad_closes_ = 0;
    std::string last_open_error_;
};

}  // namespace torvex::sim

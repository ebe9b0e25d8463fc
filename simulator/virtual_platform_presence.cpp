// Presence of the virtual disks over time: leaving, coming back under a new path, and the
// device-change events, all on the clock the test advances.
#include <algorithm>

#include "simulator/virtual_platform.h"

namespace torvex::sim {

const ProductTiming& VirtualPlatform::TimingOf(DiskIndex disk) const {
    static const ProductTiming kPlainDiskTiming{};
    const Disk& d = At(disk);
    return d.product ? d.product->Timing() : kPlainDiskTiming;
}

void VirtualPlatform::Unplug(DiskIndex disk) {
    ++At(disk).epoch;
    if (At(disk).present) Leave(disk, std::nullopt);
}

void VirtualPlatform::Plug(DiskIndex disk) {
    Arrive(disk, std::nullopt);
}

void VirtualPlatform::Plug(DiskIndex disk, ProductMode mode) {
    Arrive(disk, mode);
}

void VirtualPlatform::Reenumerate(DiskIndex disk, ProductMode next_mode) {
    ++At(disk).epoch;
    if (At(disk).present) Leave(disk, next_mode);
}

void VirtualPlatform::Depart(DiskIndex disk, const Departure& departure) {
    const std::uint32_t delay = TimingOf(disk).leave_delay_ms;
    if (!departure.delayed || delay == 0) {
        Leave(disk, departure.return_mode);
        return;
    }
    Schedule({Scheduled::Kind::Leave, now_ms_ + delay, 0, disk, At(disk).epoch,
              departure.return_mode, 0});
}

void VirtualPlatform::Leave(DiskIndex disk, std::optional<ProductMode> return_mode) {
    Disk& d = At(disk);
    if (!d.present) return;
    d.present = false;
    d.holder = kInvalidDeviceHandle;  // handles of the old arrival stay open but reach nothing
    const ProductTiming& timing = TimingOf(disk);
    Raise(kDeviceRemoveComplete, disk, timing.removal_event_delay_ms);
    if (return_mode)
        Schedule({Scheduled::Kind::Arrive, now_ms_ + timing.return_delay_ms, 0, disk, d.epoch,
                  return_mode, 0});
}

void VirtualPlatform::Arrive(DiskIndex disk, std::optional<ProductMode> mode) {
    Disk& d = At(disk);
    ++d.epoch;
    if (d.present) return;
    d.present = true;
    ++d.generation;
    if (d.product) d.product->EnterMode(mode.value_or(d.product->Mode()));
    Raise(kDeviceArrival, disk, TimingOf(disk).arrival_event_delay_ms);
}

void VirtualPlatform::Raise(std::uint32_t type, DiskIndex disk, std::uint64_t delay_ms) {
    Schedule({Scheduled::Kind::Event, now_ms_ + delay_ms, 0, disk, 0, std::nullopt, type});
}

void VirtualPlatform::Schedule(Scheduled item) {
    item.seq = schedule_seq_++;
    schedule_.push_back(item);
}

std::optional<std::uint64_t> VirtualPlatform::NextScheduledTime() const {
    std::optional<std::uint64_t> next;
    for (const auto& item : schedule_)
        if (!next || item.time < *next) next = item.time;
    return next;
}

void VirtualPlatform::AdvanceClock(std::uint64_t ms) {
    const std::uint64_t target = now_ms_ + ms;
    for (;;) {
        auto due = std::min_element(schedule_.begin(), schedule_.end(),
                                    [](const Scheduled& a, const Scheduled& b) {
                                        return a.time != b.time ? a.time < b.time : a.seq < b.seq;
                                    });
        if (due == schedule_.end() || due->time > target) break;
        const Scheduled item = *due;
        schedule_.erase(due);
        now_ms_ = std::max(now_ms_, item.time);
        Process(item);
    }
    now_ms_ = std::max(now_ms_, target);
}

void VirtualPlatform::Process(const Scheduled& item) {
    switch (item.kind) {
        case Scheduled::Kind::Leave:
            if (item.epoch == At(item.disk).epoch) Leave(item.disk, item.mode);
            break;
        case Scheduled::Kind::Arrive:
            if (item.epoch == At(item.disk).epoch) Arrive(item.disk, item.mode);
            break;
        case Scheduled::Kind::Event: {
            const DeviceEvent event{item.event_type, item.time, item.disk};
            if (listener_)
                listener_(event);
            else
                events_.push_back(event);
            break;
        }
    }
}

void VirtualPlatform::SetEventListener(std::function<void(const DeviceEvent&)> listener) {
    listener_ = std::move(listener);
}

std::vector<DeviceEvent> VirtualPlatform::TakeEvents() {
    std::vector<DeviceEvent> taken;
    taken.swap(events_);
    return taken;
}

}  // namespace torvex::sim

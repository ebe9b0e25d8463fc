#include "app/qt/demo/virtual_product_clock.h"

namespace torvex::qt::demo {

VirtualProductClock::VirtualProductClock(sim::VirtualPlatform& platform, int period_ms,
                                         QObject* parent)
    : DeviceChangeSource(parent), platform_(platform) {
    timer_.setInterval(period_ms);
    connect(&timer_, &QTimer::timeout, this, &VirtualProductClock::OnTimer);
}

void VirtualProductClock::Start() {
    real_time_.start();
    last_ms_ = 0;
    timer_.start();
}

void VirtualProductClock::OnTimer() {
    const qint64 now = real_time_.elapsed();
    const qint64 passed = now - last_ms_;
    last_ms_ = now;
    if (passed > 0) Advance(static_cast<std::uint64_t>(passed));
}

void VirtualProductClock::Advance(std::uint64_t ms) {
    platform_.AdvanceClock(ms);
    // The events are handed on only after the clock stopped: the tool answers an arrival by
    // listing and opening disks, which must not happen inside AdvanceClock.
    for (const sim::DeviceEvent& event : platform_.TakeEvents()) emit DeviceChanged(event.type);
    emit Advanced();
}

}  // namespace torvex::qt::demo

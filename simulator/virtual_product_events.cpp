#include "simulator/virtual_product_events.h"

namespace torvex::sim {

std::vector<std::uint32_t> VirtualProductEvents::TakeDueEvents(Clock::time_point now) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - start_).count();
    if (elapsed > 0 && static_cast<std::uint64_t>(elapsed) > platform_.Now())
        platform_.AdvanceClock(static_cast<std::uint64_t>(elapsed) - platform_.Now());
    std::vector<std::uint32_t> types;
    for (const auto& event : platform_.TakeEvents()) types.push_back(event.type);
    return types;
}

DeviceEventSource::Clock::time_point VirtualProductEvents::NextDue() const {
    const auto next = platform_.NextScheduledTime();
    if (!next) return Clock::time_point::max();
    return start_ + std::chrono::milliseconds(*next);
}

}  // namespace torvex::sim

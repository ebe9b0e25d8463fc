#include "simulator/virtual_product_events.h"

namespace torvex::sim {

std::vector<std::uint32_t> VirtualProductEvents::TakeDueEvents(Clock::time_point now) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - start_).count();
    const std::uint64_t target = elapsed > 0 ? static_cast<std::uint64_t>(elapsed) : 0;
    // The clock moves on to the first moment that raises an event and stops there, so that the
    // tool handles each event with the product as it was at that moment: a run that falls behind
    // (a busy machine) must not see a product back already while it handles its removal. The
    // event loop comes back at once for the events still due.
    std::vector<std::uint32_t> types;
    while (types.empty() && platform_.Now() < target) {
        const auto next = platform_.NextScheduledTime();
        const std::uint64_t step_to =
            next && *next < target ? std::max(*next, platform_.Now()) : target;
        platform_.AdvanceClock(step_to - platform_.Now());
        for (const auto& event : platform_.TakeEvents()) types.push_back(event.type);
    }
    if (types.empty())
        for (const auto& event : platform_.TakeEvents()) types.push_back(event.type);
    return types;
}

DeviceEventSource::Clock::time_point VirtualProductEvents::NextDue() const {
    const auto next = platform_.NextScheduledTime();
    if (!next) return Clock::time_point::max();
    return start_ + std::chrono::milliseconds(*next);
}

}  // namespace torvex::sim

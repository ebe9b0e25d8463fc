#include "cli/windows_virtual_events.h"

namespace torvex::cli {

std::vector<std::uint32_t> VirtualScheduleEvents::TakeEvents(Clock::time_point now) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_);
    if (elapsed.count() > 0) {
        const auto ms = static_cast<std::uint64_t>(elapsed.count());
        if (ms > platform_.Now()) platform_.AdvanceClock(ms - platform_.Now());
    }
    std::vector<std::uint32_t> types;
    for (const auto& event : platform_.TakeEvents()) types.push_back(event.type);
    return types;
}

Clock::time_point VirtualScheduleEvents::NextDue() const {
    const auto next = platform_.NextScheduledTime();
    if (!next) return Clock::time_point::max();
    return start_ + std::chrono::milliseconds(*next);
}

}  // namespace torvex::cli

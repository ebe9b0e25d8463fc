#pragma once
// Waits for something another process or thread brings about: true as soon as `holds` does,
// false when it still does not after ten seconds (a generous bound, never a measured delay).

#include <chrono>
#include <functional>
#include <thread>

namespace torvex::testing {

inline bool Eventually(const std::function<bool()>& holds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!holds()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace torvex::testing

#include "bench/scenario_run.h"

namespace torvex::bench {

namespace {
constexpr int kMaxTicksToReady = 20;
constexpr int kMaxTicksToEnd = 60;
}  // namespace

std::unique_ptr<testing::Scenario> ReadyToUpdate(sim::ProductPreset preset) {
    auto scenario = std::make_unique<testing::Scenario>(preset);
    if (!scenario->Start()) return nullptr;
    if (!scenario->TickUntil([&] { return scenario->window.update_enabled; }, kMaxTicksToReady))
        return nullptr;
    return scenario;
}

bool ClickAndFinish(testing::Scenario& scenario) {
    scenario.Click();
    // The picture, not the log text, tells the ending: reading the log would cost more than
    // the tick being measured.
    for (int tick = 0; tick < kMaxTicksToEnd; ++tick) {
        if (scenario.window.picture == StatusPicture::Complete) return true;
        scenario.Tick();
    }
    return scenario.window.picture == StatusPicture::Complete;
}

}  // namespace torvex::bench

#pragma once
// Helpers shared by the benchmarks that drive the whole tool on the virtual product.

#include <memory>

#include "tests/scenario/scenario_harness.h"

namespace torvex::bench {

// A tool started on the product, ticked until it allows Update F/W (nullptr if it never did).
std::unique_ptr<testing::Scenario> ReadyToUpdate(sim::ProductPreset preset);

// Clicks Update F/W and ticks until "Update complete" is shown; false if it did not come.
bool ClickAndFinish(testing::Scenario& scenario);

}  // namespace torvex::bench

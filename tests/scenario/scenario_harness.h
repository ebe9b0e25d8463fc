#pragma once
// A whole tool on a virtual product, driven as the window's event loop drives it: one tick a
// second of the product's clock, device changes as the product raises them, posted clicks run
// when the loop next dispatches. Firmware blocks are the samples the build carries by default.

#include <functional>
#include <string>
#include <vector>

#include "app/dialog_core.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"
#include "tests/support/memory_firmware_blocks.h"
#include "tests/support/recording_window.h"

namespace torvex::testing {

// The seven sample blocks of the virtual product's generator.
MemoryFirmwareBlocks SampleFirmwareBlocks();

class Scenario {
  public:
    explicit Scenario(sim::ProductPreset preset);
    Scenario();  // no product attached

    // Start-up as the window does it.
    bool Start();
    // One second: the product's clock moves on, its device changes are handled, then the tick,
    // then any click the tick posted.
    void Tick(int count = 1);
    // Ticks until the predicate holds; false when it did not within max_ticks.
    bool TickUntil(const std::function<bool()>& done, int max_ticks);
    // The operator clicks Update F/W (the clicks it posts run afterwards).
    void Click();

    bool Logged(const std::string& line) const;
    // Lines logged from the first occurrence of `first` on.
    std::vector<std::string> LinesFrom(const std::string& first) const;
    // Decoded names of the commands the product received, in order.
    std::vector<std::string> Commands() const;

    sim::VirtualProduct& Product() { return platform.Product(); }
    ControllerState& State() { return core.State(); }

    bool drop_device_events = false;  // the notifications never reach the window

    MemoryFirmwareBlocks blocks;
    RecordingWindow window;
    sim::VirtualPlatform platform;
    DialogCore core{window, platform, blocks};

  private:
    void DispatchPostedClicks();
    int clicks_run_ = 0;
};

}  // namespace torvex::testing

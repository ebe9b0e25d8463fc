#include "tests/scenario/scenario_harness.h"

#include <algorithm>

#include "simulator/sample_firmware.h"

namespace torvex::testing {

MemoryFirmwareBlocks SampleFirmwareBlocks() {
    MemoryFirmwareBlocks store;
    for (std::uint16_t id : kFirmwareBlockLoadOrder)
        store.blocks[id] = sim::MakeSampleFirmwareBlock(id);
    return store;
}

Scenario::Scenario() : blocks(SampleFirmwareBlocks()) {
    for (const auto& [id, bytes] : blocks.blocks)
        platform.RegisterDataSource(std::to_string(id), bytes);
}

Scenario::Scenario(sim::ProductPreset preset) : Scenario() {
    platform.AddProduct(sim::PresetConfig(preset));
}

bool Scenario::Start() {
    return core.OnInitDialog();
}

void Scenario::Tick(int count) {
    for (int i = 0; i < count; ++i) {
        platform.AdvanceClock(1000);
        for (const auto& event : platform.TakeEvents())
            if (!drop_device_events) core.OnDeviceChange(event.type);
        core.OnReplugTimer();
        DispatchPostedClicks();
    }
}

bool Scenario::TickUntil(const std::function<bool()>& done, int max_ticks) {
    for (int i = 0; i < max_ticks; ++i) {
        if (done()) return true;
        Tick();
    }
    return done();
}

void Scenario::Click() {
    core.OnUpdateFw();
    DispatchPostedClicks();
}

void Scenario::DispatchPostedClicks() {
    while (clicks_run_ < window.posted_clicks) {
        ++clicks_run_;
        core.OnUpdateFw();
    }
}

bool Scenario::Logged(const std::string& line) const {
    const auto lines = window.Utf8Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::string> Scenario::LinesFrom(const std::string& first) const {
    const auto lines = window.Utf8Lines();
    const auto it = std::find(lines.begin(), lines.end(), first);
    return {it, lines.end()};
}

std::vector<std::string> Scenario::Commands() const {
    std::vector<std::string> names;
    for (const auto& entry : platform.Trace()) names.push_back(entry.command);
    return names;
}

}  // namespace torvex::testing

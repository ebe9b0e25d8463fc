#pragma once
// The pieces of the fault matrix: the branches of Update F/W that write or send, the faults the
// virtual product can show, the commands a clean run of a branch sends (its fault targets), and
// one whole update run to its ending, as the operator would see it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "simulator/fault_plan.h"
#include "simulator/product_presets.h"
#include "tests/scenario/scenario_harness.h"

namespace torvex::testing {

// How an update ended, as the operator sees it.
enum class Ending : std::uint8_t {
    None,              // nothing within the bound: a hang, never acceptable
    NotOffered,        // Update F/W was never enabled: the product could not be talked to
    FirmwareRejected,  // a check rejected the carried image; Update F/W stays off until Browse
    Success,           // "Updat FW.... Update complete !!"
    Failure,           // "Updat FW.... FAIL !!" and the reconnect box
    ReplugTimeout,     // the silent end was followed by the replug time-out and the reconnect box
    NotSupported,      // the not-supported box
    AlreadyUpdated,    // "Your device is already updated."
};
inline constexpr int kEndingKinds = 8;
const char* EndingName(Ending ending);

struct FaultBranch {
    const char* name;
    sim::ProductPreset preset;
    bool writes_ef32;  // the update writes the EF32_0 bank too
    // Brings the started tool and product to the branch (null: nothing to do). The trace starts
    // afresh after it, and the fault plan counts requests from there.
    void (*prepare)(Scenario& scenario) = nullptr;
};
const std::vector<FaultBranch>& FaultBranches();

struct FaultKind {
    const char* name;
    sim::FaultAction action;
    std::uint32_t times;  // sim::kEveryTime: every matching request from the first hit on
};
const std::vector<FaultKind>& FaultKinds();

// One command of a clean run, addressed as the fault plan counts: by decoded command and product
// code, after `occurrence` earlier requests of the same kind.
struct FaultTarget {
    sim::Command command;
    sim::ProductMode mode;
    std::uint32_t occurrence;
    std::string label;
};

// The commands the product carried out in a clean run of the branch, up to its ending.
std::vector<FaultTarget> CleanRunTargets(const FaultBranch& branch);

sim::Fault MakeFault(const FaultTarget& target, const FaultKind& kind);

// A tool on one product, run update by update.
class FaultRun {
  public:
    // `before_start` may change the firmware blocks or the product before the tool starts.
    explicit FaultRun(const FaultBranch& branch,
                      const std::function<void(Scenario&)>& before_start = {});

    // Waits (bounded) for Update F/W to be enabled, clicks it and ticks until the update ends.
    Ending Update();
    // Faults off, pending re-enumerations settled, the product unplugged and plugged again; the
    // firmware file picked again if a check rejected it.
    void Replug();
    // Ticks without any click, for the product and the tool to settle.
    void Idle(int ticks) { scenario.Tick(ticks); }

    // The banks hold the sample images and pass their checksums.
    bool BanksHoldTheSamples();
    // Any erase or program command was carried out.
    bool AnythingWritten() const;
    std::string Diagnosis();

    Scenario scenario;
    bool started = false;  // start-up found every firmware block
    std::size_t trace_at_ending = 0;

  private:
    void ExpectReportedOnce(Ending ending, std::size_t reported_from) const;
    Ending EndingSince(std::size_t log_from, std::size_t box_from) const;

    const FaultBranch& branch_;
    std::vector<std::size_t> box_positions_;  // log length when each box opened
};

}  // namespace torvex::testing

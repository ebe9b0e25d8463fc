#include "tests/scenario/fault_matrix_harness.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "app/user_messages.h"
#include "base/text.h"
#include "simulator/sample_firmware.h"

namespace torvex::testing {

namespace {

using sim::Command;
using sim::FaultAction;
using sim::ProductMode;

// An update is offered within a few ticks of a product being found (mask code: the fifth);
// the longest ending is the replug time-out, about forty ticks after the first run.
constexpr int kTicksToOffer = 20;
constexpr int kTicksToEnd = 90;

constexpr std::u16string_view kFailureTail = u"Updat FW.... FAIL !!\r\n\r\n";

std::optional<Command> CommandFromName(const std::string& name) {
    for (int i = 0; i <= static_cast<int>(Command::JumpEf32); ++i) {
        const auto command = static_cast<Command>(i);
        if (sim::CommandName(command) == name) return command;
    }
    return std::nullopt;
}

bool EndsWith(std::u16string_view text, std::u16string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The run ending the window port hears for an ending the operator reads; none for the states
// that are no ending of a run.
std::optional<RunEnding> ReportedAs(Ending ending) {
    switch (ending) {
        case Ending::Success:
            return RunEnding::Success;
        case Ending::Failure:
            return RunEnding::Failure;
        case Ending::ReplugTimeout:
            return RunEnding::ReplugTimeout;
        case Ending::NotSupported:
            return RunEnding::NotSupported;
        case Ending::AlreadyUpdated:
            return RunEnding::AlreadyUpdated;
        case Ending::None:
        case Ending::NotOffered:
        case Ending::FirmwareRejected:
            break;
    }
    return std::nullopt;
}

}  // namespace

const char* EndingName(Ending ending) {
    switch (ending) {
        case Ending::None:
            return "none";
        case Ending::NotOffered:
            return "not offered";
        case Ending::FirmwareRejected:
            return "firmware rejected";
        case Ending::Success:
            return "success";
        case Ending::Failure:
            return "failure";
        case Ending::ReplugTimeout:
            return "replug time-out";
        case Ending::NotSupported:
            return "not supported";
        case Ending::AlreadyUpdated:
            return "already updated";
    }
    return "?";
}

namespace {
// An antique product reaches Update F/W only with its name accepted: the name passes while the
// firmware still answers, then the firmware stops answering its information and Browse re-arms
// the checks, which class it Antique on the next tick.
void MakeAntique(Scenario& scenario) {
    sim::FaultPlan& faults = scenario.Product().Faults();
    faults.Clear();
    scenario.Tick();
    faults.Add(sim::Fault::On(Command::GetFwInfo, FaultAction::Fail)
                   .InMode(ProductMode::Application)
                   .Always());
    scenario.core.OnBrowseClosed(false);
    scenario.platform.ClearTrace();
}
}  // namespace

const std::vector<FaultBranch>& FaultBranches() {
    static const std::vector<FaultBranch> branches = {
        {"ApplicationOld", sim::ProductPreset::ApplicationOld, true},
        {"ApplicationAntique", sim::ProductPreset::ApplicationAntique, false, MakeAntique},
        {"OtaCode", sim::ProductPreset::Ota, false},
        {"ProtectIsp", sim::ProductPreset::ProtectIsp, false},
        {"Mask0210", sim::ProductPreset::Mask0210, true},
    };
    return branches;
}

const std::vector<FaultKind>& FaultKinds() {
    static const std::vector<FaultKind> kinds = {
        {"FailAlways", FaultAction::Fail, sim::kEveryTime},
        {"FailOnce", FaultAction::Fail, 1},
        {"CheckCondition", FaultAction::CheckCondition, 1},
        {"TimeoutAlways", FaultAction::Timeout, sim::kEveryTime},
        {"VanishAfter", FaultAction::VanishAfter, 1},
    };
    return kinds;
}

std::vector<FaultTarget> CleanRunTargets(const FaultBranch& branch) {
    FaultRun run(branch);
    if (run.Update() != Ending::Success) return {};
    std::map<std::pair<std::string, ProductMode>, std::uint32_t> seen;
    std::vector<FaultTarget> targets;
    const auto& trace = run.scenario.platform.Trace();
    for (std::size_t i = 0; i < run.trace_at_ending; ++i) {
        const sim::TraceEntry& entry = trace[i];
        const std::optional<Command> command = CommandFromName(entry.command);
        if (!entry.mode || !command) continue;
        const std::uint32_t occurrence = seen[{entry.command, *entry.mode}]++;
        // Requests the product already refuses in a clean run (the antique product's firmware
        // information) cannot fail any further.
        if (!entry.accepted) continue;
        targets.push_back({*command, *entry.mode, occurrence,
                           entry.command + " #" + std::to_string(occurrence) + " in " +
                               std::string(sim::ModeName(*entry.mode))});
    }
    return targets;
}

sim::Fault MakeFault(const FaultTarget& target, const FaultKind& kind) {
    return sim::Fault::On(target.command, kind.action, kind.times)
        .InMode(target.mode)
        .Skip(target.occurrence);
}

FaultRun::FaultRun(const FaultBranch& branch, const std::function<void(Scenario&)>& before_start)
    : scenario(branch.preset), branch_(branch) {
    scenario.window.on_message_box = [this](std::u16string_view) {
        box_positions_.push_back(scenario.window.status_log.size());
    };
    if (before_start) before_start(scenario);
    started = scenario.Start();
    if (branch.prepare != nullptr) branch.prepare(scenario);
}

Ending FaultRun::Update() {
    // At least one tick: the checks of a product just found or re-armed run on it.
    scenario.Tick();
    if (!scenario.TickUntil([&] { return scenario.window.update_enabled; }, kTicksToOffer)) {
        trace_at_ending = scenario.platform.Trace().size();
        // Only the rejection of the carried image takes the firmware back.
        return scenario.State().FirmwareAccepted == 0 ? Ending::FirmwareRejected
                                                      : Ending::NotOffered;
    }
    const std::size_t log_from = scenario.window.status_log.size();
    const std::size_t box_from = scenario.window.message_boxes.size();
    const std::size_t reported_from = scenario.window.endings.size();
    scenario.Click();
    Ending ending = EndingSince(log_from, box_from);
    for (int tick = 0; ending == Ending::None && tick < kTicksToEnd; ++tick) {
        scenario.Tick();
        ending = EndingSince(log_from, box_from);
    }
    trace_at_ending = scenario.platform.Trace().size();
    ExpectReportedOnce(ending, reported_from);
    return ending;
}

// What the operator read must be what the tool reported through the window port: the ending
// read from the log and the boxes is the one ending reported since the click.
void FaultRun::ExpectReportedOnce(Ending ending, std::size_t reported_from) const {
    const std::vector<RunEnding>& endings = scenario.window.endings;
    const std::vector<RunEnding> since(endings.begin() + static_cast<std::ptrdiff_t>(reported_from),
                                       endings.end());
    const std::optional<RunEnding> expected = ReportedAs(ending);
    if (!expected) return;
    EXPECT_EQ(since, std::vector<RunEnding>{*expected}) << EndingName(ending);
}

// The first ending after the click: the success line, or the first message box, whichever came
// first in the log.
Ending FaultRun::EndingSince(std::size_t log_from, std::size_t box_from) const {
    const std::u16string& log = scenario.window.status_log;
    const std::size_t success_at = log.find(kUpdateCompleteLine, log_from);
    if (box_from >= box_positions_.size())
        return success_at == std::u16string::npos ? Ending::None : Ending::Success;
    const std::size_t box_at = box_positions_[box_from];
    if (success_at < box_at) return Ending::Success;

    const std::u16string& box = scenario.window.message_boxes[box_from];
    const std::u16string_view before(log.data(), box_at);
    if (box == kNotSupportedMessage) return Ending::NotSupported;
    if (box == kAlreadyUpdatedMessage) return Ending::AlreadyUpdated;
    if (box == kReconnectMessage) {
        if (EndsWith(before, std::u16string(kReplugTimeoutLine) + u"\r\n"))
            return Ending::ReplugTimeout;
        if (EndsWith(before, kFailureTail)) return Ending::Failure;
    }
    return Ending::None;  // a box no ending shows
}

void FaultRun::Replug() {
    sim::VirtualPlatform& platform = scenario.platform;
    scenario.Product().Faults().Clear();
    scenario.Tick(3);  // a product on its way back arrives meanwhile
    if (platform.IsPresent(0)) {
        platform.Unplug(0);
        scenario.Tick();
    }
    platform.Plug(0);
    // The rejection box asked the operator to select a file again.
    if (scenario.State().FirmwareAccepted == 0) scenario.core.OnBrowseClosed(true);
    scenario.Tick();
}

bool FaultRun::BanksHoldTheSamples() {
    sim::VirtualProduct& product = scenario.Product();
    bool holds = product.Ef64().Identity() == sim::SampleEf64Identity(1) &&
                 product.Ef64().HoldsValidFirmware();
    if (branch_.writes_ef32)
        holds = holds && product.Ef32().Identity() == sim::SampleEf32Identity(1) &&
                product.Ef32().HoldsValidFirmware();
    return holds;
}

bool FaultRun::AnythingWritten() const {
    for (const sim::TraceEntry& entry : scenario.platform.Trace())
        if (entry.accepted && (entry.command.rfind("ISP_CMD_ERASE", 0) == 0 ||
                               entry.command.rfind("ISP_CMD_PROGRAM", 0) == 0))
            return true;
    return false;
}

std::string FaultRun::Diagnosis() {
    std::string text = sim::Summary(scenario.Product()) + "\nlog tail:";
    const auto lines = scenario.window.Utf8Lines();
    const std::size_t from = lines.size() > 14 ? lines.size() - 14 : 0;
    for (std::size_t i = from; i < lines.size(); ++i) text += "\n  " + lines[i];
    for (const auto& violation : scenario.platform.Violations())
        text += "\nviolation: " + sim::Describe(violation);
    return text;
}

}  // namespace torvex::testing

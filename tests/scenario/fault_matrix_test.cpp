// The fault matrix: for every branch of Update F/W that writes or sends, every command a clean run
// of it sends, and every fault the virtual product offers, the update ends in a defined way, never
// claims success the product did not confirm, leaves no handle open, breaks no protocol rule, and
// a later update on the repaired product succeeds.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "tests/scenario/fault_matrix_harness.h"

namespace torvex {
namespace {

using testing::Ending;
using testing::FaultBranch;
using testing::FaultKind;
using testing::FaultRun;
using testing::FaultTarget;

using Counts = std::array<int, testing::kEndingKinds>;

// Matrix totals over the instances this process ran, printed once at the end.
struct Totals {
    int cells = 0;
    Counts endings{};
};
Totals& ProcessTotals() {
    static Totals totals;
    return totals;
}

std::string Describe(const Counts& counts) {
    std::ostringstream text;
    for (int i = 0; i < testing::kEndingKinds; ++i)
        if (counts[static_cast<std::size_t>(i)] != 0)
            text << " " << testing::EndingName(static_cast<Ending>(i)) << "="
                 << counts[static_cast<std::size_t>(i)];
    return text.str();
}

class TotalsPrinter : public ::testing::Environment {
  public:
    void TearDown() override {
        const Totals& totals = ProcessTotals();
        if (totals.cells == 0) return;
        std::cout << "[fault matrix] total " << totals.cells
                  << " cells:" << Describe(totals.endings) << "\n";
    }
};
[[maybe_unused]] ::testing::Environment* const kTotalsPrinter =
    ::testing::AddGlobalTestEnvironment(new TotalsPrinter);

// The tool ignores the status of an image header it sends (only program and checksum commands
// fail on status), so a header the product refuses with CHECK CONDITION is followed by the
// information request as usual, which the product takes as out of order. That one is expected.
bool ExpectedViolation(const FaultKind& kind, const FaultTarget& target,
                       const sim::ProtocolViolation& violation) {
    return kind.action == sim::FaultAction::CheckCondition &&
           target.command == sim::Command::PutBinxHeader &&
           violation.reason.find("before any ISP_CMD_PUT_BINX_HEADER") != std::string::npos;
}

void ExpectIdleAndClean(FaultRun& run, const FaultKind& kind, const FaultTarget& target) {
    EXPECT_EQ(run.scenario.platform.OpenHandleCount(), 0u);
    EXPECT_EQ(run.scenario.platform.BadCloseCount(), 0u);
    for (const sim::ProtocolViolation& violation : run.scenario.platform.Violations()) {
        EXPECT_TRUE(ExpectedViolation(kind, target, violation)) << run.Diagnosis();
    }
}

// One cell: the fault on one command. Returns how the faulted update ended.
Ending RunCell(const FaultBranch& branch, const FaultKind& kind, const FaultTarget& target) {
    FaultRun run(branch);
    run.scenario.Product().Faults().Add(testing::MakeFault(target, kind));

    const Ending first = run.Update();
    EXPECT_NE(first, Ending::None) << run.Diagnosis();
    if (first == Ending::Success || first == Ending::AlreadyUpdated) {
        // "Update complete" only when the product took every program and checksum step, and
        // "already updated" only for a product that is.
        EXPECT_TRUE(run.BanksHoldTheSamples()) << run.Diagnosis();
    }
    // A product that could not be talked to was never written.
    if (first == Ending::NotOffered || first == Ending::FirmwareRejected) {
        EXPECT_FALSE(run.AnythingWritten()) << run.Diagnosis();
    }
    // The transport's retries hide one failed attempt completely.
    if (kind.action == sim::FaultAction::Fail && kind.times == 1) {
        EXPECT_EQ(first, Ending::Success) << run.Diagnosis();
    }
    ExpectIdleAndClean(run, kind, target);

    // Repaired and plugged in again, the product can be brought up to date.
    run.Replug();
    const Ending second = run.Update();
    EXPECT_TRUE(second == Ending::Success || second == Ending::AlreadyUpdated)
        << "second update: " << testing::EndingName(second) << "\n"
        << run.Diagnosis();
    run.Idle(3);
    EXPECT_TRUE(run.BanksHoldTheSamples()) << run.Diagnosis();
    EXPECT_EQ(run.scenario.Product().Mode(), sim::ProductMode::Application) << run.Diagnosis();
    ExpectIdleAndClean(run, kind, target);
    return first;
}

class FaultMatrix : public ::testing::TestWithParam<std::tuple<std::size_t, std::size_t>> {};

TEST_P(FaultMatrix, EveryCommandOfACleanRunEndsDefinedAndRecovers) {
    const FaultBranch& branch = testing::FaultBranches()[std::get<0>(GetParam())];
    const FaultKind& kind = testing::FaultKinds()[std::get<1>(GetParam())];
    const std::vector<FaultTarget> targets = testing::CleanRunTargets(branch);
    ASSERT_FALSE(targets.empty()) << branch.name << ": the clean run did not succeed";

    const bool verbose = std::getenv("TORVEX_FAULT_MATRIX_CELLS") != nullptr;
    Counts counts{};
    for (const FaultTarget& target : targets) {
        const std::string cell =
            std::string(branch.name) + " / " + kind.name + " / " + target.label;
        SCOPED_TRACE(cell);
        const Ending ending = RunCell(branch, kind, target);
        ++counts[static_cast<std::size_t>(ending)];
        if (verbose) std::cout << "  " << cell << ": " << testing::EndingName(ending) << "\n";
    }

    const int cells = static_cast<int>(targets.size());
    ProcessTotals().cells += cells;
    for (std::size_t i = 0; i < counts.size(); ++i) ProcessTotals().endings[i] += counts[i];
    RecordProperty("cells", cells);
    RecordProperty("endings", Describe(counts));
    std::cout << "[fault matrix] " << branch.name << " x " << kind.name << ": " << cells
              << " cells:" << Describe(counts) << "\n";
}

std::string CellName(const ::testing::TestParamInfo<std::tuple<std::size_t, std::size_t>>& info) {
    return std::string(testing::FaultBranches()[std::get<0>(info.param)].name) + "_" +
           testing::FaultKinds()[std::get<1>(info.param)].name;
}

INSTANTIATE_TEST_SUITE_P(
    Branches, FaultMatrix,
    ::testing::Combine(::testing::Range<std::size_t>(0, testing::FaultBranches().size()),
                       ::testing::Range<std::size_t>(0, testing::FaultKinds().size())),
    CellName);

}  // namespace
}  // namespace torvex

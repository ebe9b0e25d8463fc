#include "simulator/fault_plan.h"

namespace torvex::sim {

namespace {

bool Matches(const FaultTrigger& when, std::optional<Command> command, std::uint8_t opcode,
             ProductMode mode) {
    if (when.command && when.command != command) return false;
    if (when.opcode && *when.opcode != opcode) return false;
    if (when.mode && *when.mode != mode) return false;
    return true;
}

bool Exhausted(const Fault& fault, std::uint32_t hits) {
    return fault.times != kEveryTime && hits >= fault.times;
}

}  // namespace

Fault Fault::On(Command command, FaultAction action, std::uint32_t times) {
    Fault fault;
    fault.when.command = command;
    fault.action = action;
    fault.times = times;
    return fault;
}

Fault Fault::OnOpcode(std::uint8_t opcode, FaultAction action, std::uint32_t times) {
    Fault fault;
    fault.when.opcode = opcode;
    fault.action = action;
    fault.times = times;
    return fault;
}

Fault Fault::OnNthRequest(std::uint32_t n, FaultAction action, std::uint32_t times) {
    Fault fault;
    fault.when.skip = n > 0 ? n - 1 : 0;
    fault.action = action;
    fault.times = times;
    return fault;
}

std::size_t FaultPlan::Pending() const {
    std::size_t pending = 0;
    for (const auto& entry : faults_)
        if (!Exhausted(entry.fault, entry.hits)) ++pending;
    return pending;
}

std::optional<Fault> FaultPlan::Match(std::optional<Command> command, std::uint8_t opcode,
                                      ProductMode mode) {
    std::optional<Fault> acting;
    for (auto& entry : faults_) {
        if (Exhausted(entry.fault, entry.hits)) continue;
        if (!Matches(entry.fault.when, command, opcode, mode)) continue;
        ++entry.seen;
        if (acting || entry.seen <= entry.fault.when.skip) continue;
        ++entry.hits;
        acting = entry.fault;
    }
    return acting;
}

}  // namespace torvex::sim

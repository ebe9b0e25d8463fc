#pragma once
// What the demos do to the virtual product, without any toolkit: load a ready-made state, write
// bank identities, and the commands and fault actions a fault can be injected for. The Qt demo's
// control window and the Windows demo's both use these.

#include <span>
#include <string>
#include <string_view>

#include "simulator/fault_plan.h"
#include "simulator/identity_block.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"

namespace torvex::sim {

// Puts the product into a preset's state (banks, faults, code). A present product leaves and
// re-enumerates in the preset's code; an absent one is plugged in.
void ApplyPreset(VirtualPlatform& platform, DiskIndex disk, ProductPreset preset);

// What the operator typed for one bank.
struct BankEdit {
    bool erased = false;
    FourParts tag{};
    FourParts version{};
    std::string name;
};

// A valid firmware with that identity, or an erased bank.
void WriteBank(FlashBank& bank, const BankEdit& edit);
BankEdit ReadBank(const FlashBank& bank);

// The commands and fault actions a fault can be injected for, with the actions' names.
std::span<const Command> FaultCommands();
std::span<const FaultAction> FaultActions();
std::string_view FaultActionName(FaultAction action);

}  // namespace torvex::sim

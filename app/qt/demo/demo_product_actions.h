#pragma once
// What the demo's control window does to the virtual product, kept apart from the widgets: load
// a ready-made state, write bank identities, inject faults, and describe the product in words.

#include <QString>
#include <QStringView>
#include <optional>
#include <span>
#include <string>

#include "simulator/fault_plan.h"
#include "simulator/identity_block.h"
#include "simulator/product_presets.h"
#include "simulator/virtual_platform.h"

namespace torvex::qt::demo {

// "100.1.0.0" → {100, 1, 0, 0}: four numbers 0..255 separated by dots, else nothing.
std::optional<sim::FourParts> ParseFourParts(QStringView text);
QString FormatFourParts(const sim::FourParts& parts);

// Puts the product into a preset's state (banks, faults, code). A present product leaves and
// re-enumerates in the preset's code; an absent one is plugged in.
void ApplyPreset(sim::VirtualPlatform& platform, sim::DiskIndex disk, sim::ProductPreset preset);

// What the operator typed for one bank.
struct BankEdit {
    bool erased = false;
    sim::FourParts tag{};
    sim::FourParts version{};
    std::string name;
};

// A valid firmware with that identity, or an erased bank.
void WriteBank(sim::FlashBank& bank, const BankEdit& edit);
BankEdit ReadBank(const sim::FlashBank& bank);

// The commands and fault actions a fault can be injected for, with their names.
std::span<const sim::Command> FaultCommands();
std::span<const sim::FaultAction> FaultActions();
QString FaultActionName(sim::FaultAction action);

// "EF64: 1.2.3.4 100.1.0.0 "F_TORVEX_APP_V100100" (valid)"; "erased" for an erased bank.
QString DescribeBank(const char* label, const sim::FlashBank& bank);
// Code, presence and path of the product, one line.
QString DescribePresence(sim::VirtualPlatform& platform, sim::DiskIndex disk);

}  // namespace torvex::qt::demo

#pragma once
// What the demo's control window does to the virtual product, kept apart from the widgets: the
// toolkit-free actions (simulator/product_workbench.h) and the product described in words.

#include <QString>
#include <QStringView>
#include <optional>

#include "simulator/product_workbench.h"

namespace torvex::qt::demo {

// "100.1.0.0" → {100, 1, 0, 0}: four numbers 0..255 separated by dots, else nothing.
std::optional<sim::FourParts> ParseFourParts(QStringView text);
QString FormatFourParts(const sim::FourParts& parts);

// The toolkit-free actions, under the names the control window uses.
using sim::ApplyPreset;
using sim::BankEdit;
using sim::FaultActions;
using sim::FaultCommands;
using sim::ReadBank;
using sim::WriteBank;
QString FaultActionName(sim::FaultAction action);

// "EF64: 1.2.3.4 100.1.0.0 "F_TORVEX_APP_V100100" (valid)"; "erased" for an erased bank.
QString DescribeBank(const char* label, const sim::FlashBank& bank);
// Code, presence and path of the product, one line.
QString DescribePresence(sim::VirtualPlatform& platform, sim::DiskIndex disk);

}  // namespace torvex::qt::demo

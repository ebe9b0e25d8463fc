#include "simulator/product_workbench.h"

#include <array>

namespace torvex::sim {

namespace {

// Contents seeds of a bank the demo writes; any value makes a valid firmware.
constexpr std::uint32_t kEf64Seed = 0x6464;
constexpr std::uint32_t kEf32Seed = 0x3232;

constexpr std::array<Command, 23> kCommands = {
    Command::MaskProbe,
    Command::SelectKeyMaskQuery,
    Command::SelectKeyMainMemory,
    Command::SelectKeyInfoPage,
    Command::PutBinxHeader,
    Command::GetBinxInfo,
    Command::GetFwInfo,
    Command::GetEf32Info,
    Command::Execute,
    Command::EraseEf64Main,
    Command::EraseEf64Info,
    Command::ProgramEf64Main,
    Command::CheckEf64Main,
    Command::ProgramEf64Info,
    Command::CheckEf64Info,
    Command::JumpEf64,
    Command::ProgramEf32Main,
    Command::CheckEf32Main,
    Command::ProgramEf32InfoPage0,
    Command::CheckEf32InfoPage0,
    Command::ProgramEf32InfoPage1,
    Command::CheckEf32InfoPage1,
    Command::JumpEf32,
};

struct ActionName {
    FaultAction action;
    const char* name;
};
constexpr std::array<ActionName, 9> kActions = {{
    {FaultAction::Fail, "fail (not delivered)"},
    {FaultAction::Timeout, "time out"},
    {FaultAction::CheckCondition, "CHECK CONDITION"},
    {FaultAction::VanishBefore, "vanish before the command"},
    {FaultAction::VanishAfter, "vanish after the command"},
    {FaultAction::ReplugAfter, "re-enumerate after the command"},
    {FaultAction::GarbageReply, "garbage reply"},
    {FaultAction::ShortReply, "short reply"},
    {FaultAction::StayAfterJump, "stay after a jump"},
}};
constexpr std::array<FaultAction, 9> kActionList = {
    FaultAction::Fail,         FaultAction::Timeout,     FaultAction::CheckCondition,
    FaultAction::VanishBefore, FaultAction::VanishAfter, FaultAction::ReplugAfter,
    FaultAction::GarbageReply, FaultAction::ShortReply,  FaultAction::StayAfterJump,
};

bool IsErased(const FlashBank& bank) {
    return bank.Identity() == ErasedIdentity();
}

}  // namespace

void ApplyPreset(VirtualPlatform& platform, DiskIndex disk, ProductPreset preset) {
    const ProductConfig config = PresetConfig(preset);
    VirtualProduct& product = platform.Product(disk);
    SetUpBank(product.Ef64(), config.ef64, kEf64Seed);
    SetUpBank(product.Ef32(), config.ef32, kEf32Seed);
    product.Faults().Clear();
    for (const Fault& fault : config.faults) product.Faults().Add(fault);
    if (platform.IsPresent(disk)) {
        platform.Reenumerate(disk, config.mode);
    } else {
        platform.Plug(disk, config.mode);
    }
}

void WriteBank(FlashBank& bank, const BankEdit& edit) {
    if (edit.erased) {
        bank.EraseAll();
        return;
    }
    const std::uint32_t seed = bank.Code() == BankCode::Ef64 ? kEf64Seed : kEf32Seed;
    bank.LoadFirmware(MakeIdentity(edit.tag, edit.version, edit.name), 1, seed);
}

BankEdit ReadBank(const FlashBank& bank) {
    const IdentityBlock identity = bank.Identity();
    return {IsErased(bank), IdentityTag(identity), IdentityVersion(identity),
            IsErased(bank) ? std::string() : IdentityName(identity)};
}

std::span<const Command> FaultCommands() {
    return kCommands;
}

std::span<const FaultAction> FaultActions() {
    return kActionList;
}

std::string_view FaultActionName(FaultAction action) {
    for (const ActionName& entry : kActions) {
        if (entry.action == action) return entry.name;
    }
    return {};
}

}  // namespace torvex::sim

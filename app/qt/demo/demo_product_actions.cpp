#include "app/qt/demo/demo_product_actions.h"

#include <QList>
#include <array>

namespace torvex::qt::demo {

namespace {

// Contents seeds of a bank the demo writes; any value makes a valid firmware.
constexpr std::uint32_t kEf64Seed = 0x6464;
constexpr std::uint32_t kEf32Seed = 0x3232;

constexpr std::array<sim::Command, 23> kCommands = {
    sim::Command::MaskProbe,
    sim::Command::SelectKeyMaskQuery,
    sim::Command::SelectKeyMainMemory,
    sim::Command::SelectKeyInfoPage,
    sim::Command::PutBinxHeader,
    sim::Command::GetBinxInfo,
    sim::Command::GetFwInfo,
    sim::Command::GetEf32Info,
    sim::Command::Execute,
    sim::Command::EraseEf64Main,
    sim::Command::EraseEf64Info,
    sim::Command::ProgramEf64Main,
    sim::Command::CheckEf64Main,
    sim::Command::ProgramEf64Info,
    sim::Command::CheckEf64Info,
    sim::Command::JumpEf64,
    sim::Command::ProgramEf32Main,
    sim::Command::CheckEf32Main,
    sim::Command::ProgramEf32InfoPage0,
    sim::Command::CheckEf32InfoPage0,
    sim::Command::ProgramEf32InfoPage1,
    sim::Command::CheckEf32InfoPage1,
    sim::Command::JumpEf32,
};

struct ActionName {
    sim::FaultAction action;
    const char* name;
};
constexpr std::array<ActionName, 9> kActions = {{
    {sim::FaultAction::Fail, "fail (not delivered)"},
    {sim::FaultAction::Timeout, "time out"},
    {sim::FaultAction::CheckCondition, "CHECK CONDITION"},
    {sim::FaultAction::VanishBefore, "vanish before the command"},
    {sim::FaultAction::VanishAfter, "vanish after the command"},
    {sim::FaultAction::ReplugAfter, "re-enumerate after the command"},
    {sim::FaultAction::GarbageReply, "garbage reply"},
    {sim::FaultAction::ShortReply, "short reply"},
    {sim::FaultAction::StayAfterJump, "stay after a jump"},
}};
constexpr std::array<sim::FaultAction, 9> kActionList = {
    sim::FaultAction::Fail,         sim::FaultAction::Timeout,     sim::FaultAction::CheckCondition,
    sim::FaultAction::VanishBefore, sim::FaultAction::VanishAfter, sim::FaultAction::ReplugAfter,
    sim::FaultAction::GarbageReply, sim::FaultAction::ShortReply,  sim::FaultAction::StayAfterJump,
};

void SetUpBank(sim::FlashBank& bank, const sim::BankSetup& setup, std::uint32_t seed) {
    if (setup.erased) {
        bank.EraseAll();
        return;
    }
    bank.LoadFirmware(setup.identity, setup.group, seed);
    if (setup.corrupt) bank.CorruptMain();
}

bool IsErased(const sim::FlashBank& bank) {
    return bank.Identity() == sim::ErasedIdentity();
}

}  // namespace

std::optional<sim::FourParts> ParseFourParts(QStringView text) {
    const QList<QStringView> parts = text.trimmed().split(u'.');
    if (parts.size() != 4) return std::nullopt;
    sim::FourParts result{};
    for (std::size_t i = 0; i < 4; ++i) {
        bool ok = false;
        const uint value = parts[static_cast<qsizetype>(i)].toUInt(&ok);
        if (!ok || value > 255) return std::nullopt;
        result[i] = static_cast<std::uint8_t>(value);
    }
    return result;
}

QString FormatFourParts(const sim::FourParts& parts) {
    return QStringLiteral("%1.%2.%3.%4").arg(parts[0]).arg(parts[1]).arg(parts[2]).arg(parts[3]);
}

void ApplyPreset(sim::VirtualPlatform& platform, sim::DiskIndex disk, sim::ProductPreset preset) {
    const sim::ProductConfig config = sim::PresetConfig(preset);
    sim::VirtualProduct& product = platform.Product(disk);
    SetUpBank(product.Ef64(), config.ef64, kEf64Seed);
    SetUpBank(product.Ef32(), config.ef32, kEf32Seed);
    product.Faults().Clear();
    for (const sim::Fault& fault : config.faults) product.Faults().Add(fault);
    if (platform.IsPresent(disk)) {
        platform.Reenumerate(disk, config.mode);
    } else {
        platform.Plug(disk, config.mode);
    }
}

void WriteBank(sim::FlashBank& bank, const BankEdit& edit) {
    if (edit.erased) {
        bank.EraseAll();
        return;
    }
    const std::uint32_t seed = bank.Code() == sim::BankCode::Ef64 ? kEf64Seed : kEf32Seed;
    bank.LoadFirmware(sim::MakeIdentity(edit.tag, edit.version, edit.name), 1, seed);
}

BankEdit ReadBank(const sim::FlashBank& bank) {
    const sim::IdentityBlock identity = bank.Identity();
    return {IsErased(bank), sim::IdentityTag(identity), sim::IdentityVersion(identity),
            IsErased(bank) ? std::string() : sim::IdentityName(identity)};
}

std::span<const sim::Command> FaultCommands() {
    return kCommands;
}
std::span<const sim::FaultAction> FaultActions() {
    return kActionList;
}

QString FaultActionName(sim::FaultAction action) {
    for (const ActionName& entry : kActions) {
        if (entry.action == action) return QString::fromLatin1(entry.name);
    }
    return {};
}

QString DescribeBank(const char* label, const sim::FlashBank& bank) {
    if (IsErased(bank)) return QStringLiteral("%1: erased").arg(QString::fromLatin1(label));
    const BankEdit read = ReadBank(bank);
    return QStringLiteral("%1: %2  %3  \"%4\"  (%5)")
        .arg(QString::fromLatin1(label), FormatFourParts(read.tag), FormatFourParts(read.version),
             QString::fromLatin1(read.name.c_str()),
             bank.HoldsValidFirmware() ? QStringLiteral("valid") : QStringLiteral("not valid"));
}

QString DescribePresence(sim::VirtualPlatform& platform, sim::DiskIndex disk) {
    const sim::VirtualProduct& product = platform.Product(disk);
    const QString code =
        QString::fromLatin1(sim::ModeName(product.Mode()).data(),
                            static_cast<qsizetype>(sim::ModeName(product.Mode()).size()));
    if (!platform.IsPresent(disk)) return QStringLiteral("Unplugged (last in %1 code)").arg(code);
    const std::u16string path = platform.PathOf(disk);
    return QStringLiteral("Plugged in, %1 code, %2")
        .arg(code, QString(reinterpret_cast<const QChar*>(path.data()),
                           static_cast<qsizetype>(path.size())));
}

}  // namespace torvex::qt::demo

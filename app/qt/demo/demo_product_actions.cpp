#include "app/qt/demo/demo_product_actions.h"

#include <QList>

namespace torvex::qt::demo {

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

QString FaultActionName(sim::FaultAction action) {
    const std::string_view name = sim::FaultActionName(action);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

QString DescribeBank(const char* label, const sim::FlashBank& bank) {
    if (ReadBank(bank).erased) return QStringLiteral("%1: erased").arg(QString::fromLatin1(label));
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

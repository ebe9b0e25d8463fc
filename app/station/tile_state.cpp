#include "app/station/tile_state.h"

#include <QRegularExpression>

namespace torvex::station {

namespace {

// "Device EF64 FW, Tag: 1.2.3.4,  Version: 100.1.0.0 " and "Device EF64 FW Name: F_..." are how
// the tool's checks log a bank they read.
void TakeIdentityLine(const QString& line, QString& ef64, QString& ef32) {
    static const QRegularExpression tag_version(
        uR"(^Device (EF64|EF32_0) FW, Tag: (\S+),\s+Version: (\S+)\s*$)"_qs);
    static const QRegularExpression name(uR"(^Device (EF64|EF32_0) FW Name: (.*)$)"_qs);
    if (const auto match = tag_version.match(line); match.hasMatch()) {
        QString& bank = match.captured(1) == u"EF64" ? ef64 : ef32;
        bank = match.captured(3) + u' ' + match.captured(2);
    } else if (const auto named = name.match(line); named.hasMatch()) {
        QString& bank = named.captured(1) == u"EF64" ? ef64 : ef32;
        bank += u' ' + named.captured(2).trimmed();
    }
}

}  // namespace

void TileState::Apply(const RunnerEvent& event) {
    switch (event.kind) {
        case RunnerEvent::Kind::Log:
            log += event.text + u"\r\n"_qs;
            if (!event.text.trimmed().isEmpty()) last_line = event.text.trimmed();
            if (wrote) TakeIdentityLine(event.text, ef64_seen, ef32_seen);
            break;
        case RunnerEvent::Kind::Picture:
            picture = event.picture;
            wrote = wrote || picture == StatusPicture::Updating;
            break;
        case RunnerEvent::Kind::Progress:
            progress = event.position;
            break;
        case RunnerEvent::Kind::Box:
            box = event.text;
            break;
        default:
            break;
    }
}

void TileState::TakeListing(const RunnerEvent& disk) {
    serial = disk.serial;
    code = disk.code;
    update_plan = disk.update;
    ef64_bank = disk.ef64_bank;
    ef32_bank = disk.ef32_bank;
}

qint64 TileState::ElapsedMs() const {
    return phase == TilePhase::Updating && run_clock.isValid() ? run_clock.elapsed() : elapsed_ms;
}

}  // namespace torvex::station

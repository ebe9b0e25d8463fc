#include "app/station/runner_event.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace torvex::station {

namespace {

StatusPicture PictureNamed(const QString& name) {
    if (name == u"Fail") return StatusPicture::Fail;
    if (name == u"Pass") return StatusPicture::Pass;
    if (name == u"Ready") return StatusPicture::Ready;
    if (name == u"Updating") return StatusPicture::Updating;
    if (name == u"Complete") return StatusPicture::Complete;
    return StatusPicture::Standby;
}

// A bank's identity as --list gives it, in one field: "100.1.0.0 1.2.3.4 F_NAME".
QString BankIdentity(const QJsonObject& object, const QString& bank) {
    const QString version = object.value(bank + u"_bank_version"_qs).toString();
    if (version.isEmpty()) return {};
    return version + u' ' + object.value(bank + u"_bank_tag"_qs).toString() + u' ' +
           object.value(bank + u"_bank_name"_qs).toString();
}

RunnerEvent::Kind KindNamed(const QString& name) {
    using Kind = RunnerEvent::Kind;
    if (name == u"log") return Kind::Log;
    if (name == u"picture") return Kind::Picture;
    if (name == u"progress") return Kind::Progress;
    if (name == u"button") return Kind::Button;
    if (name == u"box") return Kind::Box;
    if (name == u"disk") return Kind::Disk;
    if (name == u"ending") return Kind::Ending;
    return Kind::Other;
}

}  // namespace

std::optional<RunnerEvent> ParseRunnerEvent(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    if (!object.value(u"event").isString()) return std::nullopt;
    RunnerEvent event;
    event.kind = KindNamed(object.value(u"event").toString());
    event.text = object.value(u"text").toString();
    event.picture = PictureNamed(object.value(u"picture").toString());
    event.position = object.value(u"position").toInt();
    event.enabled = object.value(u"enabled").toBool();
    event.result = object.value(u"result").toString();
    event.exit_status = object.value(u"exit").toInt(-1);
    event.port = object.value(u"port").toString();
    event.serial = object.value(u"serial").toString();
    event.code = object.value(u"code").toString();
    event.update = object.value(u"update").toString();
    event.product = object.value(u"product").toBool();
    event.ef64_bank = BankIdentity(object, QStringLiteral("ef64"));
    event.ef32_bank = BankIdentity(object, QStringLiteral("ef32_0"));
    event.open_error = object.value(u"open_error").toString();
    return event;
}

}  // namespace torvex::station

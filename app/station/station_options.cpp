#include "app/station/station_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace torvex::station {

std::optional<StationOptions> ParseStationOptions(const QStringList& arguments, QString& error) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"A production line's products in one window: a tile per USB port, each updated by "
        "its own torvex-isp-cli."_qs);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption virtual_states(
        u"virtual"_qs,
        u"Virtual products instead of USB ports, one per state (comma separated)."_qs,
        u"STATE[,STATE...]"_qs);
    const QCommandLineOption record(u"record-dir"_qs, u"The folder of the record."_qs, u"DIR"_qs);
    const QCommandLineOption runner(u"runner"_qs, u"The torvex-isp-cli program to run."_qs,
                                    u"PATH"_qs);
    const QCommandLineOption tick(u"tick-ms"_qs, u"The runners' supervision period in ms."_qs,
                                  u"N"_qs);
    const QCommandLineOption automatic(u"automatic"_qs,
                                       u"Update each product as soon as it is ready."_qs);
    parser.addOptions({virtual_states, record, runner, tick, automatic});
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(u"help"_qs)) parser.showHelp(0);
    if (parser.isSet(u"version"_qs)) parser.showVersion();
    StationOptions options;
    if (parser.isSet(virtual_states))
        options.virtual_states = parser.value(virtual_states).split(u',');
    options.record_folder = parser.value(record);
    options.runner = parser.value(runner);
    options.automatic = parser.isSet(automatic);
    if (parser.isSet(tick)) {
        bool number = false;
        options.tick_ms = parser.value(tick).toInt(&number);
        if (!number || options.tick_ms <= 0 || options.tick_ms > 3'600'000) {
            error = u"bad value '"_qs + parser.value(tick) + u"' for --tick-ms"_qs;
            return std::nullopt;
        }
    }
    return options;
}

QString RunnerProgram(const QString& given) {
    if (!given.isEmpty()) return given;
    const QDir here(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {here.filePath(u"torvex-isp-cli"_qs), here.filePath(u"../../cli/torvex-isp-cli"_qs)})
        if (QFileInfo(candidate).isExecutable()) return QDir::cleanPath(candidate);
    const QString found = QStandardPaths::findExecutable(u"torvex-isp-cli"_qs);
    return found.isEmpty() ? u"torvex-isp-cli"_qs : found;
}

}  // namespace torvex::station

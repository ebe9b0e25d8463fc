#pragma once
// The station's command line.

#include <QString>
#include <QStringList>
#include <optional>

namespace torvex::station {

struct StationOptions {
    QStringList virtual_states;  // empty: this machine's USB ports
    QString record_folder;       // empty: the user's data folder
    QString runner;              // empty: torvex-isp-cli beside the station, else on PATH
    int tick_ms = 0;             // 0: the runner's own
    bool automatic = false;
};

// Empty, with the error in `error`, when the command line is not understood; --help and
// --version are handled by the parser itself.
std::optional<StationOptions> ParseStationOptions(const QStringList& arguments, QString& error);

// The runner program to start: the given one, the one beside this program (installed, or in
// the build tree), else torvex-isp-cli on PATH.
QString RunnerProgram(const QString& given);

}  // namespace torvex::station

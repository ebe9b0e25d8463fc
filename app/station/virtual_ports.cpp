#include "app/station/port_source.h"

namespace torvex::station {

VirtualPorts::VirtualPorts(const QStringList& states, QObject* parent) : PortSource(parent) {
    for (const QString& state : states) {
        states_ << state;
        present_ << u"virtual-%1"_qs.arg(states_.size());
    }
}

QStringList VirtualPorts::RunnerSelection(const QString& port) const {
    return {u"--virtual"_qs, states_.join(u','), u"--port"_qs, port};
}

QString VirtualPorts::Plug(const QString& state) {
    states_ << state;
    present_ << u"virtual-%1"_qs.arg(states_.size());
    emit PortsChanged();
    return present_.last();
}

void VirtualPorts::Unplug(const QString& port) {
    if (present_.removeAll(port) > 0) emit PortsChanged();
}

}  // namespace torvex::station

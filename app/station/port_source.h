#pragma once
// Where the station learns which USB ports hold a product, and how a runner is told to keep to
// one of them. On real devices: the block disks behind USB ports, re-read at every device change
// of the udev monitor (nothing is sent to a disk). In the demo: virtual products, one per port
// virtual-1, virtual-2, ..., that a test or the operator plugs and unplugs.

#include <QObject>
#include <QString>
#include <QStringList>

namespace torvex::station {

class PortSource : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // The ports that hold a USB disk now.
    virtual QStringList Present() const = 0;
    // The runner's options that select the product on `port` ("--port P", and what the demo's
    // products need); the station adds --json, --trace and its own.
    virtual QStringList RunnerSelection(const QString& port) const = 0;
    // True when a listing after a run reads what the product now holds. A virtual product is
    // made afresh by every runner, so its identities after the run come from the run's log.
    virtual bool ListsAfterRun() const = 0;

  signals:
    void PortsChanged();
};

// Ports virtual-1..N, one per product state plugged, in the order plugged; the runner builds
// the same products from the list of states and keeps to one port.
class VirtualPorts final : public PortSource {
    Q_OBJECT
  public:
    explicit VirtualPorts(const QStringList& states, QObject* parent = nullptr);

    QStringList Present() const override { return present_; }
    QStringList RunnerSelection(const QString& port) const override;
    bool ListsAfterRun() const override { return false; }

    // A product in `state` arrives on the next new port; returns that port.
    QString Plug(const QString& state);
    void Unplug(const QString& port);

  private:
    QStringList states_;   // one per port ever plugged, virtual-1 first
    QStringList present_;  // in the order plugged
};

}  // namespace torvex::station

#pragma once
// The virtual product's clock, run from the event loop: every period it advances the product's
// time by the real time that passed, so that a product that jumped leaves and comes back on
// schedule, and it reports the arrivals and removals that fell due, as a udev monitor would.

#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>

#include "app/qt/device_change_source.h"
#include "simulator/virtual_platform.h"

namespace torvex::qt::demo {

class VirtualProductClock : public DeviceChangeSource {
    Q_OBJECT
  public:
    explicit VirtualProductClock(sim::VirtualPlatform& platform, int period_ms = 20,
                                 QObject* parent = nullptr);

    void Start();
    // Advances the product's time by `ms` and reports the device changes that fell due, in
    // time order.
    void Advance(std::uint64_t ms);

  signals:
    void Advanced();

  private:
    void OnTimer();

    sim::VirtualPlatform& platform_;
    QTimer timer_;
    QElapsedTimer real_time_;
    qint64 last_ms_ = 0;
};

}  // namespace torvex::qt::demo

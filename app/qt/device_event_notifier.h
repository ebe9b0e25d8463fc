#pragma once
// Device changes in the Qt event loop, from any device-event source (a udev monitor, the virtual
// product): the source's descriptor is watched with a QSocketNotifier, a single-shot QTimer waits
// for its next due event, and every event taken is reported in order. The window connects to the
// report and does not care where the events come from.

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "device/device_event_source.h"

namespace torvex::qt {

class DeviceEventNotifier : public QObject {
    Q_OBJECT
  public:
    explicit DeviceEventNotifier(DeviceEventSource& source, QObject* parent = nullptr);

    // Takes the events due now, reports them, then waits for the next. The notifier does this by
    // itself; whoever moved the source's schedule by hand (a test advancing the virtual
    // product's clock) may call it to have the result at once.
    void TakeDueEvents();

  signals:
    // kDeviceArrival, kDeviceRemoveComplete, or anything else (which the window ignores).
    void DeviceChanged(std::uint32_t event_type);
    // After every take, with events or without: a virtual product's clock has moved on.
    void EventsTaken();

  private:
    void ArmForNextDue();

    DeviceEventSource& source_;
    std::unique_ptr<QSocketNotifier> readable_;
    QTimer due_;
    DeviceEventSource::Clock::time_point armed_for_ = DeviceEventSource::Clock::time_point::max();
};

}  // namespace torvex::qt

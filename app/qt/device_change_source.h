#pragma once
// Where device-change events come from. The window does not care: the Linux program wires a
// udev monitor's descriptor, the demo wires the virtual product. Every event is reported with its
// type (kDeviceArrival, kDeviceRemoveComplete, or anything else, which the window ignores).

#include <QObject>
#include <QSocketNotifier>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace torvex::qt {

class DeviceChangeSource : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

  signals:
    void DeviceChanged(std::uint32_t event_type);
};

// A source that watches a file descriptor (a udev monitor's, for instance) in the event loop and,
// each time it becomes readable, reads the pending events and reports them in order.
class DescriptorDeviceChangeSource : public DeviceChangeSource {
    Q_OBJECT
  public:
    using EventReader = std::function<std::vector<std::uint32_t>()>;

    DescriptorDeviceChangeSource(int descriptor, EventReader read_events,
                                 QObject* parent = nullptr);

  private:
    void OnReadable();

    EventReader read_events_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace torvex::qt

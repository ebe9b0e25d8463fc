#include "app/qt/device_change_source.h"

namespace torvex::qt {

DescriptorDeviceChangeSource::DescriptorDeviceChangeSource(int descriptor, EventReader read_events,
                                                           QObject* parent)
    : DeviceChangeSource(parent),
      read_events_(std::move(read_events)),
      notifier_(std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read)) {
    connect(notifier_.get(), &QSocketNotifier::activated, this,
            &DescriptorDeviceChangeSource::OnReadable);
}

void DescriptorDeviceChangeSource::OnReadable() {
    for (const std::uint32_t event_type : read_events_()) emit DeviceChanged(event_type);
}

}  // namespace torvex::qt

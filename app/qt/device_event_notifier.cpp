#include "app/qt/device_event_notifier.h"

#include <QAbstractEventDispatcher>
#include <algorithm>
#include <vector>

namespace torvex::qt {

namespace {

using Clock = DeviceEventSource::Clock;

// A due time further away is waited for in steps; the notifier simply asks again.
constexpr long long kLongestWaitMs = 60'000;

}  // namespace

DeviceEventNotifier::DeviceEventNotifier(DeviceEventSource& source, QObject* parent)
    : QObject(parent), source_(source) {
    due_.setSingleShot(true);
    due_.setTimerType(Qt::PreciseTimer);
    connect(&due_, &QTimer::timeout, this, &DeviceEventNotifier::TakeDueEvents);
    if (source_.Descriptor() >= 0) {
        readable_ = std::make_unique<QSocketNotifier>(source_.Descriptor(), QSocketNotifier::Read);
        connect(readable_.get(), &QSocketNotifier::activated, this,
                &DeviceEventNotifier::TakeDueEvents);
    }
    // A source's schedule moves whenever the tool talks to the product (a product told to
    // restart leaves, and comes back later). Like a poll loop that asks before it sleeps, the
    // notifier asks each time the thread's event loop goes round.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &DeviceEventNotifier::ArmForNextDue);
        connect(dispatcher, &QAbstractEventDispatcher::awake, this,
                &DeviceEventNotifier::ArmForNextDue);
    }
    ArmForNextDue();
}

void DeviceEventNotifier::TakeDueEvents() {
    // Taken in one go and reported after: the tool answers an arrival by listing and opening
    // disks, which must not happen inside the source.
    const std::vector<std::uint32_t> events = source_.TakeDueEvents(Clock::now());
    for (const std::uint32_t event_type : events) emit DeviceChanged(event_type);
    emit EventsTaken();
    ArmForNextDue();
}

void DeviceEventNotifier::ArmForNextDue() {
    const Clock::time_point due = source_.NextDue();
    if (due == armed_for_ && (due == Clock::time_point::max() || due_.isActive())) return;
    armed_for_ = due;
    if (due == Clock::time_point::max()) {
        due_.stop();
        return;
    }
    const Clock::time_point now = Clock::now();
    const long long wait_ms =
        due <= now ? 0 : std::chrono::ceil<std::chrono::milliseconds>(due - now).count();
    due_.start(static_cast<int>(std::min(wait_ms, kLongestWaitMs)));
}

}  // namespace torvex::qt

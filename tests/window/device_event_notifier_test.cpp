// Device changes in the Qt event loop: a source's descriptor and its schedule both bring its
// events to the window, in order; the window reacts only to arrival and removal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>
#include <optional>

#include "app/qt/device_event_notifier.h"
#include "tests/window/window_fixture.h"

namespace torvex {
namespace {

using namespace std::chrono_literals;
using Clock = DeviceEventSource::Clock;

// A monitor-like source: one byte per event in a pipe, read when the pipe is readable.
class PipeSource final : public DeviceEventSource {
  public:
    PipeSource() { EXPECT_EQ(::pipe2(ends_, O_NONBLOCK), 0); }
    ~PipeSource() override {
        ::close(ends_[0]);
        ::close(ends_[1]);
    }
    int Descriptor() const override { return ends_[0]; }
    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point) override {
        ++takes;
        std::vector<std::uint32_t> events;
        for (std::uint8_t code = 0; ::read(ends_[0], &code, 1) == 1;)
            events.push_back(kTypes[code]);
        return events;
    }
    void Write(std::initializer_list<std::uint8_t> codes) {
        for (std::uint8_t code : codes) ASSERT_EQ(::write(ends_[1], &code, 1), 1);
    }
    int takes = 0;

  private:
    static constexpr std::uint32_t kTypes[] = {kDeviceArrival, kDeviceRemoveComplete, 0x0007u};
    int ends_[2] = {-1, -1};
};

// A product-like source: one arrival, due when the schedule says, and no descriptor.
class ScheduledSource final : public DeviceEventSource {
  public:
    std::vector<std::uint32_t> TakeDueEvents(Clock::time_point now) override {
        if (!due || now < *due) return {};
        taken_at.push_back(now);
        due.reset();
        return {kDeviceArrival};
    }
    Clock::time_point NextDue() const override { return due.value_or(Clock::time_point::max()); }
    std::optional<Clock::time_point> due;
    std::vector<Clock::time_point> taken_at;
};

struct NotifierTest : ::testing::Test, testing::WindowFixture {
    NotifierTest() {
        dialog->OnInitDialog();
        journal.clear();
    }
};

TEST_F(NotifierTest, ADescriptorThatBecomesReadableBringsEveryPendingEventInOrder) {
    PipeSource source;
    qt::DeviceEventNotifier notifier(source);
    QSignalSpy reported(&notifier, &qt::DeviceEventNotifier::DeviceChanged);
    source.Write({0, 1, 2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.count() == 3; }, 2000));
    EXPECT_EQ(source.takes, 1);
    EXPECT_EQ(reported.at(0).at(0).value<std::uint32_t>(), kDeviceArrival);
    EXPECT_EQ(reported.at(1).at(0).value<std::uint32_t>(), kDeviceRemoveComplete);
    EXPECT_EQ(reported.at(2).at(0).value<std::uint32_t>(), 0x0007u);

    // Wired to the window, the arrival polls discovery; the other event does not.
    dialog->ConnectDeviceChanges(notifier);
    source.Write({2, 0, 2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.count() == 6; }, 2000));
    EXPECT_EQ(journal, std::vector<std::string>{"discovery"});
}

TEST_F(NotifierTest, ScheduledEventsComeWhenDueAlsoWhenTheScheduleMovedMeanwhile) {
    ScheduledSource source;
    const Clock::time_point first = Clock::now() + 30ms;
    source.due = first;
    qt::DeviceEventNotifier notifier(source);
    dialog->ConnectDeviceChanges(notifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.taken_at.size() == 1; }, 2000));
    EXPECT_GE(source.taken_at[0], first);
    EXPECT_EQ(journal, std::vector<std::string>{"discovery"});

    // Nothing is due now; then the schedule moves behind the notifier's back, as a product told
    // to restart schedules its departure. The event loop's next pass sees it.
    source.due = Clock::now() + 30ms;
    ASSERT_TRUE(QTest::qWaitFor([&] { return source.taken_at.size() == 2; }, 2000));
    EXPECT_EQ(journal, (std::vector<std::string>{"discovery", "discovery"}));
}

}  // namespace
}  // namespace torvex

// A descriptor watched in the event loop: each time it is readable, the pending events are read
// and reported in order; a window connected to it reacts only to arrival and removal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>

#include "app/qt/device_change_source.h"
#include "tests/window/window_fixture.h"

namespace torvex {
namespace {

struct Pipe {
    Pipe() { EXPECT_EQ(::pipe(ends), 0); }
    ~Pipe() {
        ::close(ends[0]);
        ::close(ends[1]);
    }
    // One byte per event, as a monitor would queue them.
    void Write(std::initializer_list<std::uint8_t> codes) {
        for (std::uint8_t code : codes) ASSERT_EQ(::write(ends[1], &code, 1), 1);
    }
    int ends[2] = {-1, -1};
};

TEST(DescriptorDeviceChangeSource, ReadsAndReportsEveryPendingEvent) {
    Pipe pipe;
    const std::uint32_t kTypes[] = {kDeviceArrival, kDeviceRemoveComplete, 0x0007u};
    int reads = 0;
    qt::DescriptorDeviceChangeSource source(pipe.ends[0], [&] {
        ++reads;
        std::vector<std::uint32_t> events;
        std::uint8_t code = 0;
        while (::read(pipe.ends[0], &code, 1) == 1) {
            events.push_back(kTypes[code]);
            if (code == 2) break;  // the last of the batch
        }
        return events;
    });
    QSignalSpy reported(&source, &qt::DeviceChangeSource::DeviceChanged);
    pipe.Write({0, 1, 2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.count() == 3; }, 2000));
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(reported.at(0).at(0).value<std::uint32_t>(), kDeviceArrival);
    EXPECT_EQ(reported.at(1).at(0).value<std::uint32_t>(), kDeviceRemoveComplete);
    EXPECT_EQ(reported.at(2).at(0).value<std::uint32_t>(), 0x0007u);

    // Wired to the window, the arrival polls discovery; the other event does not.
    testing::WindowFixture fixture;
    fixture.dialog->OnInitDialog();
    fixture.journal.clear();
    fixture.dialog->ConnectDeviceChanges(source);
    pipe.Write({2, 0, 2});
    ASSERT_TRUE(QTest::qWaitFor([&] { return reported.count() == 6; }, 2000));
    EXPECT_EQ(fixture.journal, std::vector<std::string>{"discovery"});
}

}  // namespace
}  // namespace torvex

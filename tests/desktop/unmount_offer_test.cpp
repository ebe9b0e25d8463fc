// A product whose file systems are mounted: what the window and the runner offer to unmount, when,
// and what the runner says, with a double of the desktop's disk service.
#include <gtest/gtest.h>

#include <map>

#include "desktop/linux/freed_product_events.h"
#include "desktop/linux/unmount_offer.h"

namespace torvex::desktop {
namespace {

using linux_backend::Mount;

// Unmounts whatever it is asked to, but for the nodes it was told are busy.
struct RecordingDisks : DiskService {
    std::vector<std::string> asked;
    std::map<std::string, std::string> busy;  // node -> the service's reason
    std::string Unmount(const std::string& devnode) override {
        asked.push_back(devnode);
        const auto found = busy.find(devnode);
        return found == busy.end() ? std::string() : found->second;
    }
};

const MountedDisk kTwoPartitions{"/dev/sdb",
                                 {{"/dev/sdb1", "/media/op/STICK"},
                                  {"/dev/sdb2", "/media/op/DATA"},
                                  {"/dev/sdb1", "/mnt/bound"}}};
const MountedDisk kNothing{};

TEST(UnmountOffer, AnAcceptedOfferUnmountsEachMountedNodeOnceInTheTablesOrder) {
    RecordingDisks disks;
    disks.busy["/dev/sdb2"] = "Error unmounting /dev/sdb2: target is busy";
    UnmountOffer offer(disks);
    std::vector<MountedDisk> asked;
    const auto report = offer.Consider(kTwoPartitions, [&](const MountedDisk& blocked) {
        asked.push_back(blocked);
        return true;
    });
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(asked, std::vector<MountedDisk>{kTwoPartitions});
    EXPECT_EQ(disks.asked, (std::vector<std::string>{"/dev/sdb1", "/dev/sdb2"}));
    EXPECT_EQ(report->unmounted, std::vector<std::string>{"/dev/sdb1"});
    ASSERT_EQ(report->failed.size(), 1u);
    EXPECT_FALSE(report->Freed());
    EXPECT_EQ(UnmountFailureText(*report),
              "Could not unmount /dev/sdb2: Error unmounting /dev/sdb2: target is busy\n"
              "Close the files open on it and unmount it in the file manager, or with:\n"
              "udisksctl unmount -b /dev/sdb2");
}

// Each row: the mounts after each event, the operator's answers in order; what was asked and
// unmounted.
struct OfferCase {
    const char* description;
    std::vector<MountedDisk> after_each_event;
    bool answer;
    int questions;
    std::size_t unmount_calls;
};

TEST(UnmountOffer, EachSetOfMountsIsOfferedOnce) {
    const MountedDisk one{"/dev/sdb", {{"/dev/sdb1", "/media/op/STICK"}}};
    const OfferCase cases[] = {
        {"declined: not asked again while the same mounts hold the product",
         {one, one, one},
         false,
         1,
         0},
        {"declined, then the product opened, then mounted again: asked anew",
         {one, kNothing, one},
         false,
         2,
         0},
        {"another set of mounts is another offer", {one, kTwoPartitions}, false, 2, 0},
        {"nothing mounted: nothing asked", {kNothing, kNothing}, true, 0, 0},
        {"accepted once: the same mounts after it are not unmounted again", {one, one}, true, 1, 1},
    };
    for (const OfferCase& c : cases) {
        SCOPED_TRACE(c.description);
        RecordingDisks disks;
        UnmountOffer offer(disks);
        int questions = 0;
        for (const MountedDisk& blocked : c.after_each_event)
            offer.Consider(blocked, [&](const MountedDisk&) {
                ++questions;
                return c.answer;
            });
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(disks.asked.size(), c.unmount_calls);
    }
}

TEST(UnmountOffer, TheQuestionNamesTheMountsShownSafely) {
    const MountedDisk labelled{"/dev/sdc", {{"/dev/sdc1", "/media/op/A\x1b[2JB"}}};
    EXPECT_EQ(UnmountQuestion(labelled),
              "The product's disk /dev/sdc is mounted:\n"
              "    /dev/sdc1 on /media/op/A\xEF\xBF\xBD[2JB\n"
              "Nothing is sent to the product while one of its file systems is mounted.\n\n"
              "Unmount it now? Close the files open on it first.");
}

TEST(RunnerMounts, WithoutUnmountItSaysOnceWhatHoldsTheProductAndHowToFreeIt) {
    RecordingDisks disks;
    UnmountOffer offer(disks);
    const RunnerMountStep first = ConsiderForRunner(offer, kTwoPartitions, false);
    EXPECT_EQ(first.lines,
              std::vector<std::string>{
                  "the product is mounted (/dev/sdb1 on /media/op/STICK, /dev/sdb2 on "
                  "/media/op/DATA, /dev/sdb1 on /mnt/bound); nothing is sent to it while it is. "
                  "Free it with: udisksctl unmount -b /dev/sdb1 && udisksctl unmount -b /dev/sdb2 "
                  "&& udisksctl unmount -b /dev/sdb1, or run again with --unmount"});
    EXPECT_FALSE(first.freed);
    EXPECT_TRUE(ConsiderForRunner(offer, kTwoPartitions, false).lines.empty());
    EXPECT_TRUE(disks.asked.empty());
}

TEST(RunnerMounts, WithUnmountItUnmountsAndLooksForTheProductAtOnce) {
    RecordingDisks disks;
    disks.busy["/dev/sdb2"] = "Not authorized\x07";
    UnmountOffer offer(disks);
    const RunnerMountStep step = ConsiderForRunner(offer, kTwoPartitions, true);
    EXPECT_EQ(step.lines, (std::vector<std::string>{
                              "unmounted /dev/sdb1",
                              "could not unmount /dev/sdb2: Not authorized\xEF\xBF\xBD"}));
    EXPECT_TRUE(step.freed);

    // The freed product is announced like one that arrived, before the source's next event.
    struct NoEvents : DeviceEventSource {
        std::vector<std::uint32_t> TakeDueEvents(Clock::time_point) override { return {}; }
    } monitor;
    FreedProductEvents events(monitor);
    EXPECT_EQ(events.NextDue(), DeviceEventSource::Clock::time_point::max());
    events.AnnounceFreed();
    EXPECT_LE(events.NextDue(), DeviceEventSource::Clock::now());
    EXPECT_EQ(events.TakeDueEvents(DeviceEventSource::Clock::now()),
              std::vector<std::uint32_t>{kDeviceArrival});
    EXPECT_TRUE(events.TakeDueEvents(DeviceEventSource::Clock::now()).empty());
}

}  // namespace
}  // namespace torvex::desktop

#pragma once
// A umockdev testbed: while it lives, the process sees a fake /sys and /dev (for the nodes the
// testbed holds) instead of the machine's. Only valid under umockdev-wrapper; a test binary that
// is not refuses to run (see platform_test_main.cpp), and so does this class.

#include <sys/types.h>

#include <string>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace torvex::testing {

// Names and numbers of one fake block disk. Device nodes are named "umock-sd…", a name no
// kernel gives, so a path the testbed lacks never falls through to a real disk.
struct FakeDiskName {
    std::string sysname;  // block device name in sysfs, e.g. "umock-sdb"
    std::string devnode;  // e.g. "/dev/umock-sdb"
    unsigned major = 8;
    unsigned minor = 16;
};

class MockSystem {
  public:
    MockSystem();
    ~MockSystem();
    MockSystem(const MockSystem&) = delete;
    MockSystem& operator=(const MockSystem&) = delete;

    // True when the umockdev preload is active in this process.
    static bool InMockEnvironment();

    UMockdevTestbed* Testbed() const { return testbed_; }
    const std::string& RootDir() const { return root_; }

    // A name and number no disk of this testbed had before: umock-sdb 8:16, umock-sdc 8:32, ...
    FakeDiskName NextDiskName();
    // A serial number for the next USB device path ("1-1", "1-2", ...).
    int NextUsbPort() { return ++usb_ports_; }

    // Creates the /dev node file for a disk (mode 01644: the fake stat reports a block device)
    // and clears what an earlier disk of the same sysname left in sysfs.
    void PrepareDiskNode(const FakeDiskName& name);

    // Adds a disk that is not behind USB (a SATA disk under a PCI controller); returns its node.
    std::string AddPlainDisk();

  private:
    UMockdevTestbed* testbed_ = nullptr;
    std::string root_;
    int disks_ = 0;
    int usb_ports_ = 0;
};

}  // namespace torvex::testing

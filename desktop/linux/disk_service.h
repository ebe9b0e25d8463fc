#pragma once
// The desktop's disk service as the tool uses it: unmount one mounted block device, as the user
// the tool runs as. udisks2 implements it over D-Bus (udisks_disk_service.h); tests use a double.

#include <string>

namespace torvex::desktop {

class DiskService {
  public:
    virtual ~DiskService() = default;

    // Unmounts the file system on `devnode` ("/dev/sdb1"); empty when it is unmounted, else why
    // not, in the service's words.
    virtual std::string Unmount(const std::string& devnode) = 0;
};

}  // namespace torvex::desktop

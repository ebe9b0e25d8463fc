#include "device/linux/raw_scsi_access.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace torvex::linux_backend {

bool ProcessHasRawScsiAccess() {
    // The capability sets of version 3 span two 32-bit words; CAP_SYS_RAWIO is in the first.
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    return (data[CAP_TO_INDEX(CAP_SYS_RAWIO)].effective & CAP_TO_MASK(CAP_SYS_RAWIO)) != 0;
}

}  // namespace torvex::linux_backend

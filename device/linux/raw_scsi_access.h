#pragma once
// Vendor SCSI opcodes reach a disk only for a process with CAP_SYS_RAWIO: without it the kernel
// refuses them with EPERM, even on a disk opened for writing. A process without it reaches the
// product through torvex-isp-helper, the system-bus service that holds that one right. When
// neither is possible the tool says so once, plainly, instead of failing command after command
// without a word.

#include <string_view>

namespace torvex::linux_backend {

inline constexpr std::u16string_view kRawScsiAccessAdvice =
    u"This tool cannot send commands to the product: it lacks raw SCSI access (CAP_SYS_RAWIO) "
    u"and cannot reach torvex-isp-helper on the system bus. Install torvex-isp-helper, or run "
    u"the tool as root.";

// True when the calling thread's effective capabilities hold CAP_SYS_RAWIO.
bool ProcessHasRawScsiAccess();

// Tells whether the process may send vendor opcodes; replaceable for tests.
using RawAccessProbe = bool (*)();

}  // namespace torvex::linux_backend

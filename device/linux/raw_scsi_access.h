#pragma once
// Vendor SCSI opcodes reach a disk only for a process with CAP_SYS_RAWIO: without it the kernel
// refuses them with EPERM, even on a disk opened for writing. The tool says so once, plainly,
// instead of failing command after command without a word.

#include <string_view>

namespace torvex::linux_backend {

inline constexpr std::u16string_view kRawScsiAccessAdvice =
    u"This tool needs raw SCSI access (CAP_SYS_RAWIO): run it as root, or start it with pkexec.";

// True when the calling thread's effective capabilities hold CAP_SYS_RAWIO.
bool ProcessHasRawScsiAccess();

}  // namespace torvex::linux_backend

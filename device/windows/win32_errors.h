#pragma once
// What a Win32 error code means to the transport, and its text for diagnostics.

#include <windows.h>

#include <string>
#include <string_view>

#include "device/device_platform.h"

namespace torvex::windows {

TransportError TransportErrorFor(DWORD error);

// "<operation>: error <n> (<the system's message>)", the message in the system's words.
std::string Win32Diagnostic(std::string_view operation, DWORD error);

}  // namespace torvex::windows

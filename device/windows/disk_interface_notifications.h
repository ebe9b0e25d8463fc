#pragma once
// The disk interface class, and device-change notifications for it. A top-level window receives the
// system's WM_DEVICECHANGE broadcasts only for volumes; a product without a volume (in boot, ISP or
// OTA code it shows no file system) raises arrival and removal only for a window registered for the
// disk interface class.

#include <windows.h>

namespace torvex::windows {

// GUID_DEVINTERFACE_DISK {53F56307-B6BF-11D0-94F2-00A0C91EFB8B}: the disk interface class.
inline constexpr GUID kDiskInterfaceClass = {
    0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};

// Registers `window` for arrivals and removals of disk interfaces; null when Windows refused.
HDEVNOTIFY RegisterDiskInterfaceNotifications(HWND window);

}  // namespace torvex::windows

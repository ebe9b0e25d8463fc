#include "device/windows/disk_interface_notifications.h"

#include <dbt.h>

namespace torvex::windows {

HDEVNOTIFY RegisterDiskInterfaceNotifications(HWND window) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kDiskInterfaceClass;
    return RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

}  // namespace torvex::windows

// torvex-isp.exe: the tool's window on the PC's disks (device-installation services, exclusive
// CreateFileW, SCSI pass-through). Its manifest asks for administrator rights, which raw
// pass-through to a disk needs.
#include <windows.h>

#include "app/win32/ardeko_pcisp_app.h"
#include "device/windows/windows_device_platform.h"
#include "resources/compiled_firmware_blocks.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
    torvex::windows::WindowsDevicePlatform platform;
    return torvex::win32::RunMainWindow(platform, torvex::CompiledFirmwareBlocks()) ? 0 : 1;
}

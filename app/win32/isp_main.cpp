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
    // Sample firmware never reaches a real product unless the operator allows it on purpose.
    const bool refuse = torvex::RefuseSampleFirmware(torvex::SampleFirmwareAllowedByEnvironment());
    return torvex::win32::RunMainWindow(platform, torvex::CompiledFirmwareBlocks(),
                                        [refuse](torvex::win32::CArdekoPCISPDlg& dialog) {
                                            if (refuse) dialog.Core().RefuseWritingSampleFirmware();
                                        })
               ? 0
               : 1;
}

// torvex-isp-demo.exe [STATE]: the tool's window on a virtual product, with a control window to
// plug and unplug the product, re-enumerate it in another code, load a ready-made state and
// inject faults. The product starts in the state named on the command line (default
// application-old).
#include <windows.h>
// windows.h first: shellapi.h relies on its types.
#include <shellapi.h>

#include <string>

#include "app/win32/ardeko_pcisp_app.h"
#include "app/win32/demo/demo_control_window.h"
#include "resources/compiled_firmware_blocks.h"
#include "simulator/product_presets.h"

namespace {

constexpr int kBadUsage = 64;

// The state named on the command line; nothing when it names none. `name` gets the argument.
std::optional<torvex::sim::ProductPreset> PresetFromCommandLine(std::wstring& name) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) return torvex::sim::ProductPreset::ApplicationOld;
    if (count > 1) name = arguments[1];
    LocalFree(arguments);
    if (count < 2) return torvex::sim::ProductPreset::ApplicationOld;
    std::string ascii;
    for (wchar_t c : name) ascii.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return torvex::sim::ParsePresetName(ascii);
}

void RegisterBlockNames(torvex::sim::VirtualPlatform& platform,
                        const torvex::FirmwareBlockStore& blocks) {
    // The trace then says which firmware block each data transfer came from.
    for (std::uint16_t id : torvex::kFirmwareBlockLoadOrder) {
        const torvex::FirmwareBlockStore::Block block = blocks.Find(id);
        if (block.lookup == torvex::FirmwareBlockStore::Lookup::Found)
            platform.RegisterDataSource("block " + std::to_string(id), block.bytes);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*command_line*/,
                   int /*show*/) {
    std::wstring name;
    const auto preset = PresetFromCommandLine(name);
    if (!preset) {
        const std::wstring text = L"Unknown product state: " + name;
        MessageBoxW(nullptr, text.c_str(), L"torvex-isp-demo", MB_OK | MB_ICONERROR);
        return kBadUsage;
    }
    const torvex::FirmwareBlockStore& blocks = torvex::CompiledFirmwareBlocks();
    torvex::sim::VirtualPlatform platform;
    const torvex::sim::DiskIndex disk =
        platform.IndexOf(platform.AddProduct(torvex::sim::PresetConfig(*preset)));
    RegisterBlockNames(platform, blocks);
    torvex::sim::VirtualProductEvents events(platform);

    torvex::win32::InitCommonControls95();
    torvex::win32::CArdekoPCISPDlg tool(platform, blocks);
    // Only the virtual product's own arrivals and removals reach the tool.
    tool.WatchSystemDeviceChanges(false);
    if (!tool.Create()) return 1;
    torvex::win32::demo::DemoControlWindow control(platform, disk, events, tool, *preset);
    RECT band{};
    GetWindowRect(tool.Window(), &band);
    control.Create(0, band.bottom + 40);
    tool.RunModalLoop();
    return 0;
}

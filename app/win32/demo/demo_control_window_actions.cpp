// The control window's actions on the product and its summary.
#include <string>

#include "app/dialog_templates.h"
#include "app/win32/demo/demo_control_window.h"
#include "app/win32/win32_text.h"
#include "simulator/product_workbench.h"
#include "simulator/wire_trace.h"

namespace torvex::win32::demo {

namespace {

std::wstring Widen(std::string_view text) {
    return {text.begin(), text.end()};
}

int SelectedValue(HWND combo) {
    const auto index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return 0;
    return static_cast<int>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

// "application; EF64 ...; EF32_0 ..." one part a line.
std::wstring SummaryLines(const sim::VirtualProduct& product) {
    std::wstring text = Widen(sim::Summary(product));
    for (std::size_t at = text.find(L"; "); at != std::wstring::npos; at = text.find(L"; ", at))
        text.replace(at, 2, L"\r\n");
    return text;
}

}  // namespace

void DemoControlWindow::OnCommand(int id) {
    switch (id) {
        case kPlug:
            platform_.Plug(disk_);
            break;
        case kUnplug:
            platform_.Unplug(disk_);
            break;
        case kReenumerate:
            Reenumerate();
            break;
        case kLoadState:
            LoadState();
            break;
        case kInject:
            InjectFault();
            break;
        case kClearFaults:
            platform_.Product(disk_).Faults().Clear();
            break;
        default:
            return;
    }
    ShowSummary();
}

void DemoControlWindow::Reenumerate() {
    const auto mode = static_cast<sim::ProductMode>(SelectedValue(mode_));
    if (platform_.IsPresent(disk_)) {
        platform_.Reenumerate(disk_, mode);
    } else {
        platform_.Plug(disk_, mode);
    }
}

void DemoControlWindow::LoadState() {
    sim::ApplyPreset(platform_, disk_, static_cast<sim::ProductPreset>(SelectedValue(preset_)));
}

void DemoControlWindow::InjectFault() {
    sim::Fault fault = sim::Fault::On(static_cast<sim::Command>(SelectedValue(fault_command_)),
                                      static_cast<sim::FaultAction>(SelectedValue(fault_action_)));
    fault.reply_bytes = 16;  // a short reply carries a quarter of an identity block
    platform_.Product(disk_).Faults().Add(fault);
}

std::wstring DemoControlWindow::Summary() const {
    sim::VirtualProduct& product = platform_.Product(disk_);
    std::wstring text;
    if (platform_.IsPresent(disk_)) {
        text = L"Plugged in: " + ToWide(platform_.PathOf(disk_));
    } else {
        text = L"Unplugged";
    }
    text += L"\r\n" + SummaryLines(product);
    const std::uint64_t now = platform_.Now();
    text += L"\r\nFaults waiting: " + std::to_wstring(product.Faults().Pending()) +
            L"    Open handles: " + std::to_wstring(platform_.OpenHandleCount()) + L"    Clock: " +
            std::to_wstring(now / 1000) + L"." + std::to_wstring(now / 100 % 10) + L" s";
    const auto& trace = platform_.Trace();
    text += L"\r\nCommands: " + std::to_wstring(trace.size()) + L"    Last: " +
            (trace.empty() ? std::wstring(L"none") : Widen(trace.back().command));
    text += L"\r\nProtocol violations: " + std::to_wstring(platform_.Violations().size());
    return text;
}

void DemoControlWindow::ShowSummary() {
    if (summary_ == nullptr) return;
    const std::wstring text = Summary();
    if (FromWide(text) != WindowText(summary_)) SetWindowTextW(summary_, text.c_str());
}

void DemoControlWindow::ShowToolLog() {
    const HWND log = tool_.Control(kIdStatusLog);
    if (tool_log_ == nullptr || log == nullptr) return;
    const int length = GetWindowTextLengthW(log);
    if (length == tool_log_length_) return;
    // A copy of the whole text, only when it changed: the log grows by a line now and then.
    tool_log_length_ = length;
    SetWindowTextW(tool_log_, ToWide(WindowText(log)).c_str());
    SendMessageW(tool_log_, EM_SETSEL, static_cast<WPARAM>(length), length);
    SendMessageW(tool_log_, EM_SCROLLCARET, 0, 0);
}

}  // namespace torvex::win32::demo

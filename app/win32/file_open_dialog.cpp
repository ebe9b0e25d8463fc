#include "app/win32/file_open_dialog.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "app/win32/win32_text.h"

namespace torvex::win32 {

namespace {

// Room for a long path; the dialog says so and fails when the chosen one is longer still.
constexpr std::size_t kPathRoom = 32768;

}  // namespace

std::wstring FilterForDialog(std::u16string_view filter) {
    std::wstring text = ToWide(filter);
    for (wchar_t& c : text) {
        if (c == L'|') c = L'\0';
    }
    // The list ends with two zero characters, whatever the text ended with.
    text.push_back(L'\0');
    text.push_back(L'\0');
    return text;
}

std::optional<std::u16string> RunFileOpenDialog(HWND owner, const FileOpenSettings& settings) {
    const std::wstring filter = FilterForDialog(settings.filter);
    const std::wstring extension = ToWide(settings.default_extension);
    std::vector<wchar_t> path(kPathRoom, L'\0');
    const std::wstring initial = ToWide(settings.initial_name);
    initial.copy(path.data(), std::min(initial.size(), path.size() - 1));

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER;
    if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    return FromWide(path.data());
}

}  // namespace torvex::win32

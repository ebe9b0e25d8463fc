#pragma once
// The system's file-open dialog, as Browse runs it: modal over the main window, the newer
// (explorer) style, a default extension, an initial file name and a filter in the
// "name|pattern|...||" notation.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace torvex::win32 {

struct FileOpenSettings {
    std::u16string_view default_extension;
    std::u16string_view initial_name;
    std::u16string_view filter;
};

// Runs the dialog; the chosen full path, or nothing when the operator cancelled.
using FileOpenRunner =
    std::function<std::optional<std::u16string>(HWND owner, const FileOpenSettings& settings)>;

std::optional<std::u16string> RunFileOpenDialog(HWND owner, const FileOpenSettings& settings);

// "a|b||" → "a\0b\0\0": the filter as the dialog takes it.
std::wstring FilterForDialog(std::u16string_view filter);

}  // namespace torvex::win32

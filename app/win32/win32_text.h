#pragma once
// UTF-16 text between the tool (std::u16string) and the Windows API (wchar_t, 16 bits here), and
// a few window-text helpers.

#include <windows.h>

#include <string>
#include <string_view>

namespace torvex::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

inline std::wstring ToWide(std::u16string_view text) {
    return {reinterpret_cast<const wchar_t*>(text.data()), text.size()};
}

inline std::u16string FromWide(std::wstring_view text) {
    return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

// The whole text of a window or control.
inline std::u16string WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return FromWide(text);
}

// A string resource of the program; empty when there is none.
inline std::u16string LoadResourceString(HINSTANCE instance, int id) {
    const wchar_t* text = nullptr;
    // A buffer size of 0 returns a pointer to the resource itself, which is not zero-terminated.
    const int length =
        LoadStringW(instance, static_cast<UINT>(id), reinterpret_cast<wchar_t*>(&text), 0);
    if (length <= 0 || text == nullptr) return {};
    return FromWide({text, static_cast<std::size_t>(length)});
}

// The program's base name, without folder and extension: the caption of its message boxes.
std::u16string ApplicationName();

}  // namespace torvex::win32

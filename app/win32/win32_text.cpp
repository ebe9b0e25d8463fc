#include "app/win32/win32_text.h"

#include <vector>

namespace torvex::win32 {

std::u16string ApplicationName() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return u"torvex-isp";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // a long path: try again with more room
    }
    std::wstring_view name(path.data(), path.size());
    if (const auto slash = name.find_last_of(L"\\/"); slash != std::wstring_view::npos)
        name.remove_prefix(slash + 1);
    if (const auto dot = name.find_last_of(L'.'); dot != std::wstring_view::npos && dot > 0)
        name = name.substr(0, dot);
    return FromWide(name);
}

}  // namespace torvex::win32

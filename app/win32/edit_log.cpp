#include "app/win32/edit_log.h"

#include "app/win32/win32_text.h"

namespace torvex::win32 {

void EditLog::Attach(HWND edit) {
    edit_ = edit;
    // 0 lifts the limit (a template's edit control holds 30,000 characters by default).
    SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0);
}

void EditLog::Append(std::u16string_view text) {
    const std::wstring wide = ToWide(text);
    const LRESULT length = SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0);
    SendMessageW(edit_, EM_SETSEL, static_cast<WPARAM>(length), length);
    SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide.c_str()));
    SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}

void EditLog::Clear() {
    SetWindowTextW(edit_, L"");
}

}  // namespace torvex::win32

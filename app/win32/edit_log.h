#pragma once
// A log kept in an edit control. Appending puts the caret at the end and replaces the empty
// selection there, so its cost does not grow with the log; the control's text limit is lifted,
// since the log is never cut.

#include <windows.h>

#include <string_view>

namespace torvex::win32 {

class EditLog {
  public:
    // Takes over the edit control and lifts its text limit.
    void Attach(HWND edit);
    HWND Control() const { return edit_; }

    // Appends the text at the end and brings the end into view.
    void Append(std::u16string_view text);
    void Clear();

  private:
    HWND edit_ = nullptr;
};

}  // namespace torvex::win32

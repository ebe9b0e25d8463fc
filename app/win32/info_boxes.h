#pragma once
// The About box (template 100) and the Help box (template 104) that the system menu opens. Both
// run modally over the main window and have no handlers of their own: About closes with OK,
// Escape or its close box; Help has no button and closes with Escape or its close box.

#include <windows.h>

namespace torvex::win32 {

void RunAboutBox(HWND owner);
void RunHelpBox(HWND owner);

}  // namespace torvex::win32

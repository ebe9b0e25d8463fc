#pragma once
// The status picture on the owner-drawn button 1011: the loaded bitmap resource drawn at the
// button's top-left corner on white, clipped to the button, whatever the button's state (at
// another scale than 100 % the bitmap is scaled with the window). The button's text names the
// picture, which is what a screen reader says of it.

#include <windows.h>

#include <array>

#include "base/window_port.h"

namespace torvex::win32 {

inline constexpr int kStatusPictureWidth = 432;
inline constexpr int kStatusPictureHeight = 117;

class StatusPictureView {
  public:
    StatusPictureView() = default;
    StatusPictureView(const StatusPictureView&) = delete;
    StatusPictureView& operator=(const StatusPictureView&) = delete;
    ~StatusPictureView();

    void Attach(HWND button) { button_ = button; }
    HWND Control() const { return button_; }

    // Makes the picture the one drawn from now on; it appears on the next paint.
    void Load(StatusPicture picture);
    StatusPicture Loaded() const { return loaded_; }
    // Has the button repaint (with erasing).
    void Invalidate();
    void Draw(const DRAWITEMSTRUCT& item);

  private:
    HBITMAP BitmapOf(StatusPicture picture);

    HWND button_ = nullptr;
    StatusPicture loaded_ = StatusPicture::Standby;
    std::array<HBITMAP, 6> bitmaps_{};  // loaded on first use, by picture order from Standby
};

// The window's dots per inch (96 at 100 %).
UINT WindowDpi(HWND window);

}  // namespace torvex::win32

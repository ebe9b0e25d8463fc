#include "app/win32/status_picture_view.h"

#include "app/win32/win32_text.h"
#include "app/window_texts.h"

namespace torvex::win32 {

namespace {

constexpr int kBaseDpi = 96;

std::size_t SlotOf(StatusPicture picture) {
    return static_cast<std::size_t>(picture) - static_cast<std::size_t>(StatusPicture::Standby);
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);

// GetDpiForWindow exists from Windows 10 1607 on; before it the screen's DPI applies.
GetDpiForWindowFunction DpiForWindowFunction() {
    static const auto function = [] {
        const FARPROC address = GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
        return reinterpret_cast<GetDpiForWindowFunction>(reinterpret_cast<void (*)()>(address));
    }();
    return function;
}

}  // namespace

UINT WindowDpi(HWND window) {
    if (const auto function = DpiForWindowFunction(); function != nullptr) {
        if (const UINT dpi = function(window); dpi != 0) return dpi;
    }
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

StatusPictureView::~StatusPictureView() {
    for (HBITMAP bitmap : bitmaps_) {
        if (bitmap != nullptr) DeleteObject(bitmap);
    }
}

void StatusPictureView::Load(StatusPicture picture) {
    loaded_ = picture;
    SetWindowTextW(button_, ToWide(StatusPictureWord(picture)).c_str());
}

void StatusPictureView::Invalidate() {
    InvalidateRect(button_, nullptr, TRUE);
}

HBITMAP StatusPictureView::BitmapOf(StatusPicture picture) {
    HBITMAP& bitmap = bitmaps_.at(SlotOf(picture));
    if (bitmap == nullptr) {
        bitmap = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                 MAKEINTRESOURCEW(static_cast<int>(picture)),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    }
    return bitmap;
}

void StatusPictureView::Draw(const DRAWITEMSTRUCT& item) {
    const RECT& area = item.rcItem;
    FillRect(item.hDC, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBITMAP bitmap = BitmapOf(loaded_);
    if (bitmap == nullptr) return;
    const HDC source = CreateCompatibleDC(item.hDC);
    const HGDIOBJ previous = SelectObject(source, bitmap);
    const int dpi = static_cast<int>(WindowDpi(item.hwndItem));
    const int saved = SaveDC(item.hDC);
    IntersectClipRect(item.hDC, area.left, area.top, area.right, area.bottom);
    if (dpi == kBaseDpi) {
        BitBlt(item.hDC, area.left, area.top, kStatusPictureWidth, kStatusPictureHeight, source, 0,
               0, SRCCOPY);
    } else {
        SetStretchBltMode(item.hDC, HALFTONE);
        SetBrushOrgEx(item.hDC, 0, 0, nullptr);
        StretchBlt(item.hDC, area.left, area.top, MulDiv(kStatusPictureWidth, dpi, kBaseDpi),
                   MulDiv(kStatusPictureHeight, dpi, kBaseDpi), source, 0, 0, kStatusPictureWidth,
                   kStatusPictureHeight, SRCCOPY);
    }
    RestoreDC(item.hDC, saved);
    SelectObject(source, previous);
    DeleteDC(source);
}

}  // namespace torvex::win32

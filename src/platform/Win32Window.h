// The splash window on Win32: a fixed-size top-level window with the design's
// five push buttons, the picture drawn at the top-left of the client area and
// the background colour around it.
#pragma once

#include <windows.h>

#include "platform/Host.h"
#include "platform/Win32Handles.h"
#include "platform/Win32Imaging.h"
#include "window/Design.h"

namespace trelvo::win32 {

// The window class name, for tools and tests that look for the window.
constexpr wchar_t kSplashClassName[] = L"TrelvoSplash";

class Win32Window final : public SplashWindow {
public:
    // Failures inside the window's own message handling end the program
    // through `host`, by the rule for unchecked failures.
    Win32Window(HINSTANCE instance, WindowEvents& events, Host& host);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    void SetCaption(const std::wstring& text) override;
    void SetBackColor(std::uint32_t colour) override;
    void SetPicture(std::unique_ptr<Picture> picture) override;
    void SetIcon(std::unique_ptr<Icon> icon) override;
    void SetButtonCaption(int index, const std::wstring& text) override;
    void SetButtonLeft(int index, int twips) override;
    void SetButtonVisible(int index, bool visible) override;

    HWND Handle() const { return window_; }
    // Shows the window and runs the event loop until the program ends.
    void ShowAndRun();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnPaint();
    void OnCommand(int id, int code, HWND control);
    void FocusFirstVisibleButton();
    // Sizes the window, the buttons, the font and the picture for a DPI.
    void ApplyDpi(int dpi, const RECT* suggested);
    // Prepares what the paint handler draws: the picture scaled for the DPI
    // and blended over the background colour. Run whenever one of the three
    // changes; throws UncheckedFailure or std::bad_alloc when it cannot.
    void PrepareComposite();
    void PlaceButton(int index);
    int Pixels(int twips) const { return MulDiv(twips, dpi_, 1440); }
    HWND Button(int index) const { return buttons_[index]; }

    WindowEvents& events_;
    Host& host_;
    HWND window_ = nullptr;
    HWND buttons_[design::kButtonCount] = {};
    int buttonLeft_[design::kButtonCount] = {};  // twips
    int dpi_ = 96;
    GdiObject<HFONT> font_;
    COLORREF backColor_ = 0;
    GdiObject<HBRUSH> backBrush_;
    std::unique_ptr<DecodedImage> picture_;
    DibSection composite_;  // the picture, scaled for the DPI, blended over the background
    std::unique_ptr<IconPair> icon_;
    UniqueIcon builtInLarge_, builtInSmall_;
};

}  // namespace trelvo::win32

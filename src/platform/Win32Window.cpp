#include "platform/Win32Window.h"

namespace trelvo::win32 {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;
constexpr int kBuiltInIconId = 1;

// Functions newer than Windows 7, looked up at run time; each has a fallback.
template <typename F>
F User32Function(const char* name)
{
    HMODULE user32 = GuiModule(GuiLibrary::User32);
    return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

int SystemDpi()
{
    ScreenDC screen;
    return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

int WindowDpi(HWND window)
{
    static auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi ? int(dpi) : SystemDpi();
}

RECT FrameForClient(int width, int height, int dpi)
{
    static auto adjustForDpi = User32Function<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT frame{0, 0, width, height};
    if (!adjustForDpi || !adjustForDpi(&frame, kStyle, FALSE, kExStyle, UINT(dpi)))
        AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    return frame;
}

// The system's message font at a DPI.
HFONT MessageFont(int dpi)
{
    static auto parametersForDpi = User32Function<BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (parametersForDpi && parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, UINT(dpi)))
        return CreateFontIndirectW(&metrics.lfMessageFont);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, SystemDpi());
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

COLORREF ToColorRef(std::uint32_t colour)
{
    // 0x800000nn is the system colour nn, as classic form designers wrote
    // them; any other top byte is ignored.
    if ((colour & 0xFF000000u) == 0x80000000u && (colour & 0x00FFFFFFu) <= COLOR_MENUBAR)
        return GetSysColor(int(colour & 0xFF));
    return colour & 0x00FFFFFFu;
}

}  // namespace

Win32Window::Win32Window(HINSTANCE instance, WindowEvents& events) : events_(events)
{
    builtInLarge_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kBuiltInIconId), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    builtInSmall_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kBuiltInIconId), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = builtInLarge_;
    windowClass.hIconSm = builtInSmall_;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.lpszClassName = kSplashClassName;
    RegisterClassExW(&windowClass);

    window_ = CreateWindowExW(kExStyle, kSplashClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                              nullptr, nullptr, instance, this);
    if (!window_) throw UncheckedFailure(L"Couldn't create the splash window: " + SystemErrorText(GetLastError()));

    // The buttons in tab order 0 to 4, all visible in the design.
    for (int i = 0; i < design::kButtonCount; ++i) {
        buttonLeft_[i] = design::kButtonLeft[i];
        buttons_[i] = CreateWindowExW(0, L"BUTTON", design::kButtonCaption,
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY, 0, 0, 0, 0,
                                      window_, reinterpret_cast<HMENU>(INT_PTR(design::kFirstButtonId + i)),
                                      instance, nullptr);
    }
    ApplyDpi(WindowDpi(window_), nullptr);

    // First placed in the centre of the work area of the monitor it opens on.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT frame;
    GetWindowRect(window_, &frame);
    if (GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        const RECT& work = monitor.rcWork;
        int width = frame.right - frame.left, height = frame.bottom - frame.top;
        SetWindowPos(window_, nullptr, work.left + (work.right - work.left - width) / 2,
                     work.top + (work.bottom - work.top - height) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetBackColor(GetSysColor(COLOR_BTNFACE));
}

void Win32Window::ApplyDpi(int dpi, const RECT* suggested)
{
    dpi_ = dpi;
    RECT frame = FrameForClient(Pixels(design::kClientWidth), Pixels(design::kClientHeight), dpi);
    int x = suggested ? suggested->left : 0, y = suggested ? suggested->top : 0;
    SetWindowPos(window_, nullptr, x, y, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | (suggested ? 0 : SWP_NOMOVE));
    font_.reset(MessageFont(dpi));
    for (int i = 0; i < design::kButtonCount; ++i) {
        PlaceButton(i);
        if (font_) SendMessageW(buttons_[i], WM_SETFONT, WPARAM(font_.get()), TRUE);
    }
    composite_.reset();
    InvalidateRect(window_, nullptr, TRUE);
}

void Win32Window::PlaceButton(int index)
{
    SetWindowPos(Button(index), nullptr, Pixels(buttonLeft_[index]), Pixels(design::kButtonTop),
                 Pixels(design::kButtonWidth), Pixels(design::kButtonHeight), SWP_NOZORDER | SWP_NOACTIVATE);
}

Win32Window::~Win32Window()
{
    if (window_) DestroyWindow(window_);
    if (builtInLarge_) DestroyIcon(builtInLarge_);
    if (builtInSmall_) DestroyIcon(builtInSmall_);
}

void Win32Window::SetCaption(const std::wstring& text) { SetWindowTextW(window_, text.c_str()); }

void Win32Window::SetBackColor(std::uint32_t colour)
{
    backColor_ = ToColorRef(colour);
    backBrush_.reset(CreateSolidBrush(backColor_));
    composite_.reset();
    InvalidateRect(window_, nullptr, TRUE);
}

void Win32Window::SetPicture(std::unique_ptr<Picture> picture)
{
    picture_.reset(static_cast<DecodedImage*>(picture.release()));
    composite_.reset();
    InvalidateRect(window_, nullptr, TRUE);
}

void Win32Window::SetIcon(std::unique_ptr<Picture> icon)
{
    auto& pair = static_cast<IconPair&>(*icon);
    SendMessageW(window_, WM_SETICON, ICON_BIG, LPARAM(pair.large.get()));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, LPARAM(pair.small ? pair.small.get() : pair.large.get()));
    icon_ = std::move(icon);  // the window keeps the icons alive
}

void Win32Window::SetButtonCaption(int index, const std::wstring& text)
{
    SetWindowTextW(Button(index), text.c_str());
}

void Win32Window::SetButtonLeft(int index, int twips)
{
    buttonLeft_[index] = twips;
    PlaceButton(index);
}

void Win32Window::SetButtonVisible(int index, bool visible)
{
    ShowWindow(Button(index), visible ? SW_SHOWNA : SW_HIDE);
}

void Win32Window::FocusFirstVisibleButton()
{
    for (HWND button : buttons_)
        if (IsWindowVisible(button)) {
            SetFocus(button);
            return;
        }
    SetFocus(window_);
}

void Win32Window::ShowAndRun()
{
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    SetForegroundWindow(window_);
    FocusFirstVisibleButton();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // The dialog manager's keyboard handling: Tab, Enter, Space, Escape.
        if (IsDialogMessageW(window_, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

LRESULT CALLBACK Win32Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
        static_cast<Win32Window*>(create->lpCreateParams)->window_ = window;
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->Handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers the whole client area
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_CTLCOLORBTN:
        return LRESULT(backBrush_.get());
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !IsChild(window_, GetFocus())) FocusFirstVisibleButton();
        return 0;
    case WM_CLOSE:
        events_.WindowClosing();  // ends the program
        return 0;
    case 0x02E0:  // WM_DPICHANGED: moved to a monitor of another DPI
        ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void Win32Window::OnCommand(int id, int code, HWND control)
{
    int index = id - design::kFirstButtonId;
    if (index >= 0 && index < design::kButtonCount && control == Button(index)) {
        if (code == BN_CLICKED) events_.ButtonClicked(index);
        // The focused button is the one Enter presses: show it as the default.
        if (code == BN_SETFOCUS || code == BN_KILLFOCUS)
            SendMessageW(control, BM_SETSTYLE, code == BN_SETFOCUS ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
        return;
    }
    if (id == IDCANCEL) {
        events_.WindowClosing();  // Escape closes like the close box
    } else if (id == IDOK) {
        HWND focus = GetFocus();
        for (int i = 0; i < design::kButtonCount; ++i)
            if (focus == Button(i)) events_.ButtonClicked(i);
    }
}

void Win32Window::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window_, &paint);
    RECT client;
    GetClientRect(window_, &client);
    int pictureW = 0, pictureH = 0;
    if (picture_) {
        // The picture is drawn for 96 DPI: it keeps its share of the window.
        pictureW = MulDiv(picture_->width, dpi_, 96);
        pictureH = MulDiv(picture_->height, dpi_, 96);
        if (!composite_) {
            std::unique_ptr<DecodedImage> resized;
            if (pictureW != picture_->width || pictureH != picture_->height)
                resized = ResizeImage(*picture_, pictureW, pictureH);
            const DecodedImage& source = resized ? *resized : *picture_;
            // Blend the premultiplied picture over the background colour once.
            std::uint32_t* out = nullptr;
            composite_ = CreateTopDownDib(pictureW, pictureH, &out);
            if (composite_) {
                const std::uint32_t back[3] = {GetBValue(backColor_), GetGValue(backColor_), GetRValue(backColor_)};
                for (size_t i = 0; i < source.pixels.size(); ++i) {
                    std::uint32_t p = source.pixels[i], a = p >> 24, pixel = 0;
                    for (int c = 0; c < 3; ++c) {
                        std::uint32_t v = ((p >> (8 * c)) & 0xFF) + (back[c] * (255 - a) + 127) / 255;
                        pixel |= (v > 255 ? 255 : v) << (8 * c);
                    }
                    out[i] = pixel;
                }
            }
        }
        if (composite_) {
            MemoryDC memory(dc);
            SelectScope select(memory.get(), composite_.get());
            BitBlt(dc, 0, 0, pictureW, pictureH, memory.get(), 0, 0, SRCCOPY);
        }
    }
    // The background shows to the right of and below the picture.
    RECT right{pictureW, 0, client.right, client.bottom};
    RECT below{0, pictureH, pictureW < client.right ? pictureW : client.right, client.bottom};
    if (right.left < right.right) FillRect(dc, &right, backBrush_.get());
    if (below.top < below.bottom) FillRect(dc, &below, backBrush_.get());
    EndPaint(window_, &paint);
}

}  // namespace trelvo::win32

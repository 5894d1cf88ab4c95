#include "platform/Win32Window.h"

#include "platform/Win32System.h"

namespace trelvo::win32 {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;
constexpr int kBuiltInIconId = 1;

int SystemDpi()
{
    ScreenDC screen;
    return GetDeviceCaps(screen.get(), LOGPIXELSY);
}

int WindowDpi(HWND window)
{
    auto getDpiForWindow = GetDpiForWindow.Find();
    UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi ? int(dpi) : SystemDpi();
}

RECT FrameForClient(int width, int height, int dpi)
{
    auto adjustForDpi = AdjustWindowRectExForDpi.Find();
    RECT frame{0, 0, width, height};
    if (!adjustForDpi || !adjustForDpi(&frame, kStyle, FALSE, kExStyle, UINT(dpi)))
        AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    return frame;
}

// The system's message font at a DPI.
HFONT MessageFont(int dpi)
{
    auto parametersForDpi = SystemParametersInfoForDpi.Find();
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

Win32Window::Win32Window(HINSTANCE instance, WindowEvents& events, Host& host) : events_(events), host_(host)
{
    builtInLarge_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kBuiltInIconId), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    builtInSmall_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kBuiltInIconId), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = builtInLarge_.get();
    windowClass.hIconSm = builtInSmall_.get();
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
    PrepareComposite();
}

void Win32Window::PrepareComposite()
{
    if (picture_) {
        DibSection composite;
        trelvo::PrepareComposite(picture_->image, backColor_, dpi_, composite);
        composite_ = std::move(composite);
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void Win32Window::PlaceButton(int index)
{
    SetWindowPos(Button(index), nullptr, Pixels(buttonLeft_[index]), Pixels(design::kButtonTop),
                 Pixels(design::kButtonWidth), Pixels(design::kButtonHeight), SWP_NOZORDER | SWP_NOACTIVATE);
}

Win32Window::~Win32Window()
{
    // The window first: it uses the icons to the end.
    if (window_) DestroyWindow(window_);
}

void Win32Window::SetCaption(const std::wstring& text) { SetWindowTextW(window_, text.c_str()); }

void Win32Window::SetBackColor(std::uint32_t colour)
{
    backColor_ = ToColorRef(colour);
    backBrush_.reset(CreateSolidBrush(backColor_));
    if (!backBrush_) throw UncheckedFailure(L"Couldn't make the window's background brush: " + SystemErrorText(GetLastError()));
    PrepareComposite();
}

void Win32Window::SetPicture(std::unique_ptr<Picture> picture)
{
    // Only this host's pictures reach its window.
    picture_.reset(static_cast<DecodedImage*>(picture.release()));
    PrepareComposite();
}

void Win32Window::SetIcon(std::unique_ptr<Icon> icon)
{
    // Only this host's icons reach its window.
    std::unique_ptr<IconPair> pair(static_cast<IconPair*>(icon.release()));
    SendMessageW(window_, WM_SETICON, ICON_BIG, LPARAM(pair->large.get()));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, LPARAM(pair->small ? pair->small.get() : pair->large.get()));
    icon_ = std::move(pair);  // the window keeps the icons alive
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
    // Once the program is ending (its last message box up), the window does
    // nothing of its own.
    if (!self || LauncherEnding()) return DefWindowProcW(window, message, wParam, lParam);
    // No exception crosses the system's frames: a failure in the window's own
    // work ends the program here, by the rule for unchecked failures.
    LRESULT result = 0;
    RunChecked(self->host_, [&] { result = self->Handle(message, wParam, lParam); });
    return result;
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
    // Draws what PrepareComposite made; nothing is computed here.
    PaintScope paint(window_);
    HDC dc = paint.get();
    RECT client;
    GetClientRect(window_, &client);
    const int pictureW = composite_.Width(), pictureH = composite_.Height();
    if (composite_.get()) {
        MemoryDC memory(dc);
        if (!memory.get()) throw UncheckedFailure(L"Couldn't draw the picture: " + SystemErrorText(GetLastError()));
        SelectScope select(memory.get(), composite_.get());
        BitBlt(dc, 0, 0, pictureW, pictureH, memory.get(), 0, 0, SRCCOPY);
    }
    // The background shows to the right of and below the picture.
    RECT right{pictureW, 0, client.right, client.bottom};
    RECT below{0, pictureH, pictureW < client.right ? pictureW : client.right, client.bottom};
    if (right.left < right.right) FillRect(dc, &right, backBrush_.get());
    if (below.top < below.bottom) FillRect(dc, &below, backBrush_.get());
}

}  // namespace trelvo::win32

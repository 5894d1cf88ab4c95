// Baseline for dialog mode: the least a program does to show the splash
// window's content. A window with a 481 x 345 client area and the launcher's
// frame styles, the picture splash.bmp from the current directory (loaded by
// the system, drawn in WM_PAINT), the background colour and five push
// buttons in the launcher's places; a message loop; it ends when closed.
#include <windows.h>

namespace {

constexpr int kClientWidth = 481, kClientHeight = 345;
constexpr int kButtonLeft[5] = {2, 98, 194, 290, 386};
constexpr int kButtonTop = 304, kButtonWidth = 93, kButtonHeight = 33;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;

HBITMAP picture;
BITMAP pictureSize;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (picture) {
            HDC memory = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(memory, picture);
            BitBlt(dc, 0, 0, pictureSize.bmWidth, pictureSize.bmHeight, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteDC(memory);
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    picture = static_cast<HBITMAP>(LoadImageW(nullptr, L"splash.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (picture) GetObjectW(picture, sizeof pictureSize, &pictureSize);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = CreateSolidBrush(RGB(24, 20, 64));
    windowClass.lpszClassName = L"TrelvoBenchBareWindow";
    RegisterClassExW(&windowClass);

    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    HWND window = CreateWindowExW(kExStyle, windowClass.lpszClassName, L"Bench", kStyle, CW_USEDEFAULT,
                                  CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return 1;

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    HFONT font = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)
                     ? CreateFontIndirectW(&metrics.lfMessageFont)
                     : nullptr;
    static const wchar_t* const captions[5] = {L"Install", L"Read Me", L"Browse", L"Web", L"Exit"};
    for (int i = 0; i < 5; ++i) {
        HWND button = CreateWindowExW(0, L"BUTTON", captions[i], WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                      kButtonLeft[i], kButtonTop, kButtonWidth, kButtonHeight, window,
                                      reinterpret_cast<HMENU>(INT_PTR(101 + i)), instance, nullptr);
        if (font) SendMessageW(button, WM_SETFONT, WPARAM(font), FALSE);
    }

    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

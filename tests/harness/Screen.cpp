#include "Screen.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "Support.h"

namespace harness {

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, 4096);
    return text;
}

namespace {
struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId) search->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM data)
{
    reinterpret_cast<WindowSearch*>(data)->found.push_back(child);
    return TRUE;
}

// One screen DC, released however the caller leaves.
struct ScreenDc {
    HDC dc = GetDC(nullptr);
    ~ScreenDc() { ReleaseDC(nullptr, dc); }
};
}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId)
{
    WindowSearch search{processId, {}};
    EnumWindows(CollectProcessWindow, LPARAM(&search));
    return search.found;
}

std::vector<HWND> Children(HWND parent)
{
    WindowSearch search{0, {}};
    EnumChildWindows(parent, CollectChild, LPARAM(&search));
    return search.found;
}

RECT RectInClient(HWND child, HWND parent)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

void PostKey(HWND target, UINT key)
{
    LPARAM scan = LPARAM(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, key, 1 | scan);
    PostMessageW(target, WM_KEYUP, key, 1 | scan | LPARAM(0xC0000000));
}

std::vector<COLORREF> Capture(const RECT& area)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return {};
    std::vector<COLORREF> out;
    ScreenDc screen;
    HDC memory = CreateCompatibleDC(screen.dc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen.dc, area.left, area.top, SRCCOPY)) {
            GdiFlush();
            auto* p = static_cast<const std::uint32_t*>(bits);
            for (int k = 0; k < width * height; ++k)
                out.push_back(RGB((p[k] >> 16) & 0xFF, (p[k] >> 8) & 0xFF, p[k] & 0xFF));
        }
        SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    return out;
}

COLORREF ClientPixel(HWND window, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(window, &p);
    std::vector<COLORREF> one = Capture(RECT{p.x, p.y, p.x + 1, p.y + 1});
    return one.empty() ? CLR_INVALID : one[0];
}

bool Near(COLORREF actual, COLORREF expected, int tolerance)
{
    if (actual == CLR_INVALID) return false;
    return std::abs(int(GetRValue(actual)) - int(GetRValue(expected))) <= tolerance &&
           std::abs(int(GetGValue(actual)) - int(GetGValue(expected))) <= tolerance &&
           std::abs(int(GetBValue(actual)) - int(GetBValue(expected))) <= tolerance;
}

// ---------------------------------------------------------------------------

SeenBox ReadBox(HWND box)
{
    SeenBox seen;
    seen.title = TextOf(box);
    wchar_t buffer[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, buffer, 4096);
    seen.text = buffer;
    for (HWND child : Children(box))
        if (ToLower(ClassOf(child)) == L"button" && IsWindowVisible(child)) {
            ++seen.buttons;
            seen.buttonText = TextOf(child);
        }
    HWND icon = GetDlgItem(box, 0x0440);
    if (icon && IsWindowVisible(icon)) {
        RECT area;
        GetWindowRect(icon, &area);
        // Sampled until the icon has painted (bounded).
        WaitUntil(
            [&] {
                std::vector<COLORREF> pixels = Capture(area);
                seen.iconPixels = int(pixels.size());
                seen.redPixels = int(std::count_if(pixels.begin(), pixels.end(), [](COLORREF p) {
                    return GetRValue(p) >= 160 && GetGValue(p) <= 90 && GetBValue(p) <= 90;
                }));
                return seen.StopIcon();
            },
            3000);
    }
    return seen;
}

void PressOk(HWND box)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(box, IDOK)));
}

// ---------------------------------------------------------------------------

std::vector<Pixel> AroundPicture(COLORREF back)
{
    return {
        {5, 5, kPictureColour, 3, L"picture, top left"},
        {kPictureWidth - 1, kPictureHeight - 1, kPictureColour, 3, L"picture, last pixel"},
        {kPictureWidth, 5, back, 2, L"just right of the picture"},
        {5, kPictureHeight, back, 2, L"just below the picture"},
        {kPictureWidth, kPictureHeight, back, 2, L"diagonally past the picture"},
        {400, 150, back, 2, L"far right"},
        {20, 250, back, 2, L"far below"},
    };
}

namespace {

// Tab until the button in `slot` has the focus (at least one Tab), checking
// that each Tab moves to the next visible button in order.
bool TabTo(HWND splash, int slot, int kept)
{
    if (!Check(slot < kept, L"a keyboard step needs a kept button in slot " + std::to_wstring(slot))) return false;
    HWND target = GetDlgItem(splash, kFirstButtonId + slot);
    // The window takes the focus as it activates, just after it shows.
    WaitUntil([&] { return IsChild(splash, FocusOf(splash)) != FALSE; }, 3000);
    HWND focus = FocusOf(splash);
    int at = -1;
    for (int k = 0; k < kept; ++k)
        if (focus == GetDlgItem(splash, kFirstButtonId + k)) at = k;
    if (!Check(at >= 0, L"the focus should be on a visible button when the window shows (focus " + ClassOf(focus) +
                            L" id " + std::to_wstring(GetDlgCtrlID(focus)) + L")"))
        return false;
    for (int presses = 0; presses <= kept; ++presses) {
        PostKey(FocusOf(splash), VK_TAB);
        int next = (at + 1) % kept;
        HWND expected = GetDlgItem(splash, kFirstButtonId + next);
        bool moved = WaitUntil([&] { return FocusOf(splash) == expected; }, 3000);
        HWND now = FocusOf(splash);
        if (!Check(moved, L"Tab from Button(" + std::to_wstring(at) + L") should focus Button(" +
                              std::to_wstring(next) + L"), focus is on id " + std::to_wstring(GetDlgCtrlID(now))))
            return false;
        at = next;
        if (now == target) return true;
    }
    return Check(false, L"Tab never reached Button(" + std::to_wstring(slot) + L")");
}

// A length of the window against the design: exact at 96 DPI; elsewhere the
// rounding may differ by a pixel.
bool CheckLength(long actual, int dpi, int twips, const std::wstring& what)
{
    long expected = Pixels(dpi, twips);
    long slack = dpi == 96 ? 0 : 1;
    return Check(std::labs(actual - expected) <= slack,
                 what + L": got " + std::to_wstring(actual) + L", expected " + std::to_wstring(expected) +
                     (slack ? L" (\u00b1" + std::to_wstring(slack) + L")" : L""));
}

void CheckButtons(HWND splash, const Splash& expected, int dpi)
{
    int kept = int(expected.captions.size());
    int buttonChildren = 0;
    for (HWND child : Children(splash))
        if (ToLower(ClassOf(child)) == L"button") ++buttonChildren;
    CheckEqual(buttonChildren, 5, L"button controls in the window");

    for (int slot = 0; slot < 5; ++slot) {
        std::wstring which = L"Button(" + std::to_wstring(slot) + L")";
        HWND button = GetDlgItem(splash, kFirstButtonId + slot);
        if (!Check(button != nullptr, which + L" with id " + std::to_wstring(kFirstButtonId + slot) + L" exists"))
            continue;
        bool shouldShow = slot < kept;
        if (!CheckEqual(IsWindowVisible(button) ? 1 : 0, shouldShow ? 1 : 0, which + L" visible")) continue;
        if (!shouldShow) {
            // Left out of the layout, it keeps its design caption.
            CheckEqual(TextOf(button), L"Command1", which + L" caption (hidden)");
            continue;
        }
        RECT rect = RectInClient(button, splash);
        CheckLength(rect.left, dpi, kLefts[kept][slot], which + L" left");
        CheckLength(rect.top, dpi, kButtonTop, which + L" top");
        CheckLength(rect.right - rect.left, dpi, kButtonWidth, which + L" width");
        CheckLength(rect.bottom - rect.top, dpi, kButtonHeight, which + L" height");
        CheckEqual(TextOf(button), expected.captions[size_t(slot)], which + L" caption");
    }
}

void CheckPixels(HWND splash, const std::vector<Pixel>& pixels)
{
    if (pixels.empty()) return;
    // Sampled until the window has painted (bounded).
    WaitUntil(
        [&] {
            for (const Pixel& p : pixels)
                if (!Near(ClientPixel(splash, p.x, p.y), p.colour, p.tolerance)) return false;
            return true;
        },
        3000);
    for (const Pixel& p : pixels) {
        COLORREF actual = ClientPixel(splash, p.x, p.y);
        Check(Near(actual, p.colour, p.tolerance), std::wstring(L"pixel ") + p.where + L" (" + std::to_wstring(p.x) +
                                                       L"," + std::to_wstring(p.y) + L"): got " + ColourText(actual) +
                                                       L", expected " + ColourText(p.colour));
    }
}

// The small icon in the title bar: the medium's icon is one solid colour
// that nothing else in the frame has.
void CheckMediumIcon(HWND splash)
{
    RECT frame{};
    GetWindowRect(splash, &frame);
    POINT clientTop{0, 0};
    ClientToScreen(splash, &clientTop);
    RECT titleBar{frame.left, frame.top, frame.right, clientTop.y};
    int found = 0;
    auto count = [&] {
        std::vector<COLORREF> pixels = Capture(titleBar);
        found = int(std::count_if(pixels.begin(), pixels.end(), [](COLORREF p) { return Near(p, kIconColour, 12); }));
        return found >= 16;
    };
    Check(WaitUntil(count, 3000),
          L"the medium's icon should show in the title bar (" + std::to_wstring(found) + L" pixels of its colour)");
}

void TakeStep(HWND splash, const Splash& expected)
{
    switch (expected.step) {
    case Step::Close:
        PostMessageW(splash, WM_CLOSE, 0, 0);
        break;
    case Step::CloseBox:
        PostMessageW(splash, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Step::Escape: {
        WaitUntil([&] { HWND f = FocusOf(splash); return f == splash || IsChild(splash, f); }, 3000);
        HWND focus = FocusOf(splash);
        Check(focus == splash || IsChild(splash, focus), L"the focus should be in the splash window");
        PostKey(focus ? focus : splash, VK_ESCAPE);
        break;
    }
    case Step::Click:
        PostMessageW(GetDlgItem(splash, kFirstButtonId + expected.slot), BM_CLICK, 0, 0);
        break;
    case Step::TabEnter:
    case Step::TabSpace:
        if (TabTo(splash, expected.slot, int(expected.captions.size()))) {
            PostKey(FocusOf(splash), expected.step == Step::TabEnter ? VK_RETURN : VK_SPACE);
        } else {
            PostMessageW(splash, WM_CLOSE, 0, 0);
        }
        break;
    }
}

}  // namespace

void InspectSplash(HWND splash, const Splash& expected, int dpi)
{
    CheckEqual(TextOf(splash), expected.title, L"window title");
    RECT client{};
    GetClientRect(splash, &client);
    CheckLength(client.right - client.left, dpi, kClientWidth, L"client width");
    CheckLength(client.bottom - client.top, dpi, kClientHeight, L"client height");
    CheckButtons(splash, expected, dpi);
    CheckPixels(splash, expected.pixels);
    if (expected.mediumIcon) CheckMediumIcon(splash);
    TakeStep(splash, expected);
}

}  // namespace harness

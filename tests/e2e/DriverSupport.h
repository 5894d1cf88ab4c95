// Shared by the end-to-end drivers (tests/e2e/driver.cpp, tests/hostile/
// hostile_driver.cpp): counted checks, files and pictures made in code, the
// screen, the launcher's windows and message boxes, and starting the launcher
// in a job object of its own.
//
// Each driver is one translation unit: everything here is inline.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {
// ---------------------------------------------------------------------------
// Output and checks

inline bool verbose = false;
inline int passed = 0, failed = 0;
inline std::wstring currentCase;
// Called with each failure line as well (when set).
inline std::function<void(const std::wstring&)> onFailure;

inline std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

inline std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), size);
    return out;
}

inline void Print(const std::wstring& line)
{
    std::string bytes = Utf8(line) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

// A text shown in a failure line: quoted, line breaks made visible.
inline std::wstring Show(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\r') out += L"\\r";
        else if (c == L'\n') out += L"\\n";
        else out += c;
    }
    return out + L"\"";
}

inline bool Check(bool ok, const std::wstring& what)
{
    if (ok) {
        ++passed;
    } else {
        ++failed;
        Print(L"FAILED [" + currentCase + L"] " + what);
        if (onFailure) onFailure(what);
    }
    return ok;
}

inline bool CheckEqual(const std::wstring& actual, const std::wstring& expected, const std::wstring& what)
{
    return Check(actual == expected, what + L": got " + Show(actual) + L", expected " + Show(expected));
}

inline bool CheckEqual(long long actual, long long expected, const std::wstring& what)
{
    return Check(actual == expected,
                 what + L": got " + std::to_wstring(actual) + L", expected " + std::to_wstring(expected));
}

inline std::wstring ColourText(COLORREF c)
{
    if (c == CLR_INVALID) return L"(unreadable)";
    return L"(" + std::to_wstring(GetRValue(c)) + L"," + std::to_wstring(GetGValue(c)) + L"," +
           std::to_wstring(GetBValue(c)) + L")";
}

// ---------------------------------------------------------------------------
// Small helpers

inline std::wstring ToLower(std::wstring text)
{
    if (!text.empty()) CharLowerBuffW(text.data(), DWORD(text.size()));
    return text;
}

inline void Replace(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

inline std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

inline std::wstring TextOf(HWND window)
{
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, 4096);
    return text;
}

inline std::wstring SystemErrorText(DWORD error)
{
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    if (buffer) LocalFree(buffer);
    // Compared without the closing full stop and line break: a message may
    // quote the text inside a sentence of its own.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'.'))
        text.pop_back();
    return text;
}

// A path handed over from the build (a Unix path under Wine) as Windows sees it.
inline std::wstring WindowsPath(const std::wstring& path)
{
    if (path.empty() || path[0] != L'/') return path;
    using ToDos = WCHAR*(CDECL*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (toDos) {
        if (WCHAR* dos = toDos(Utf8(path).c_str())) {
            std::wstring out = dos;
            HeapFree(GetProcessHeap(), 0, dos);
            return out;
        }
    }
    std::wstring out = L"Z:" + path;
    std::replace(out.begin(), out.end(), L'/', L'\\');
    return out;
}

// ---------------------------------------------------------------------------
// Files

inline bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline std::optional<std::string> ReadBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

inline void DeleteTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// INI text from the tables: written with CR LF line ends.
inline std::string IniBytes(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// A [BUTTONn] section; a null pointer leaves the key out.
inline std::string Button(int n, const char* show, const char* caption, const char* action)
{
    std::string out = "[BUTTON" + std::to_string(n) + "]\n";
    if (show) out += std::string("Show=") + show + "\n";
    if (caption) out += std::string("Caption=") + caption + "\n";
    if (action) out += std::string("Action=") + action + "\n";
    return out;
}

// ---------------------------------------------------------------------------
// Pictures, drawn in code

inline void Put16(std::string& out, unsigned value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

inline void Put32(std::string& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

inline void Put32BigEndian(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out += char((value >> shift) & 0xFF);
}

// A 24-bit BMP of one colour.
inline std::string Bmp(int width, int height, COLORREF colour)
{
    int stride = (width * 3 + 3) & ~3;
    std::string out = "BM";
    Put32(out, 54 + stride * height);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, width);
    Put32(out, height);
    Put16(out, 1);
    Put16(out, 24);
    Put32(out, 0);
    Put32(out, stride * height);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            row += char(GetBValue(colour));
            row += char(GetGValue(colour));
            row += char(GetRValue(colour));
        }
        row.resize(size_t(stride), '\0');
        out += row;
    }
    return out;
}

inline std::uint32_t Crc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

struct Rgba {
    unsigned char r, g, b, a;
};

// A PNG (8-bit RGBA, stored deflate blocks) with the pixels of `pixel(x, y)`.
inline std::string Png(int width, int height, const std::function<Rgba(int, int)>& pixel)
{
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // filter: none
        for (int x = 0; x < width; ++x) {
            Rgba p = pixel(x, y);
            raw += char(p.r);
            raw += char(p.g);
            raw += char(p.b);
            raw += char(p.a);
        }
    }
    std::string zlib = "\x78\x01";
    for (size_t at = 0; at < raw.size() || at == 0;) {
        size_t length = std::min<size_t>(raw.size() - at, 65535);
        bool last = at + length >= raw.size();
        zlib += char(last ? 1 : 0);
        Put16(zlib, unsigned(length));
        Put16(zlib, unsigned(~length & 0xFFFF));
        zlib += raw.substr(at, length);
        at += length;
        if (last) break;
    }
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32BigEndian(zlib, (b << 16) | a);

    std::string out = "\x89PNG\r\n\x1a\n";
    auto chunk = [&](const char* type, const std::string& data) {
        Put32BigEndian(out, std::uint32_t(data.size()));
        std::string typed = std::string(type, 4) + data;
        out += typed;
        Put32BigEndian(out, Crc32(typed));
    };
    std::string header;
    Put32BigEndian(header, std::uint32_t(width));
    Put32BigEndian(header, std::uint32_t(height));
    header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter set, no interlace
    chunk("IHDR", header);
    chunk("IDAT", zlib);
    chunk("IEND", "");
    return out;
}

// An icon file of one opaque colour, 16 and 32 pixels, 32-bit.
inline std::string Ico(COLORREF colour)
{
    const int sizes[] = {16, 32};
    std::vector<std::string> images;
    for (int side : sizes) {
        std::string image;
        Put32(image, 40);
        Put32(image, side);
        Put32(image, side * 2);
        Put16(image, 1);
        Put16(image, 32);
        Put32(image, 0);
        Put32(image, side * side * 4 + side * 4);
        for (int k = 0; k < 4; ++k) Put32(image, 0);
        for (int k = 0; k < side * side; ++k) {
            image += char(GetBValue(colour));
            image += char(GetGValue(colour));
            image += char(GetRValue(colour));
            image += char(0xFF);
        }
        image += std::string(size_t(side * 4), '\0');  // AND mask: all opaque
        images.push_back(image);
    }
    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, unsigned(images.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
    for (size_t k = 0; k < images.size(); ++k) {
        out += char(sizes[k]);
        out += char(sizes[k]);
        out += '\0';
        out += '\0';
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, std::uint32_t(images[k].size()));
        Put32(out, offset);
        offset += std::uint32_t(images[k].size());
    }
    for (const auto& image : images) out += image;
    return out;
}

// ---------------------------------------------------------------------------
// The screen

// The pixels of a screen rectangle, row by row (COLORREF values).
inline std::vector<COLORREF> Capture(const RECT& area)
{
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return {};
    std::vector<COLORREF> out;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY)) {
            GdiFlush();
            auto* p = static_cast<const std::uint32_t*>(bits);
            for (int k = 0; k < width * height; ++k)
                out.push_back(RGB((p[k] >> 16) & 0xFF, (p[k] >> 8) & 0xFF, p[k] & 0xFF));
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return out;
}

inline COLORREF ClientPixel(HWND window, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(window, &p);
    std::vector<COLORREF> one = Capture(RECT{p.x, p.y, p.x + 1, p.y + 1});
    return one.empty() ? CLR_INVALID : one[0];
}

inline bool Near(COLORREF actual, COLORREF expected, int tolerance)
{
    if (actual == CLR_INVALID) return false;
    return std::abs(int(GetRValue(actual)) - int(GetRValue(expected))) <= tolerance &&
           std::abs(int(GetGValue(actual)) - int(GetGValue(expected))) <= tolerance &&
           std::abs(int(GetBValue(actual)) - int(GetBValue(expected))) <= tolerance;
}

// Waits (bounded) until `done` holds; true when it did.
inline bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(25);
    }
}

// ---------------------------------------------------------------------------
// The launcher's windows

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

inline BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId) search->found.push_back(window);
    return TRUE;
}

inline BOOL CALLBACK CollectChild(HWND child, LPARAM data)
{
    reinterpret_cast<WindowSearch*>(data)->found.push_back(child);
    return TRUE;
}

inline std::vector<HWND> TopLevelWindows(DWORD processId)
{
    WindowSearch search{processId, {}};
    EnumWindows(CollectProcessWindow, LPARAM(&search));
    return search.found;
}

inline std::vector<HWND> Children(HWND parent)
{
    WindowSearch search{0, {}};
    EnumChildWindows(parent, CollectChild, LPARAM(&search));
    return search.found;
}

inline RECT RectInClient(HWND child, HWND parent)
{
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

inline HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

inline void PostKey(HWND target, UINT key)
{
    LPARAM scan = LPARAM(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, key, 1 | scan);
    PostMessageW(target, WM_KEYUP, key, 1 | scan | LPARAM(0xC0000000));
}

// ---------------------------------------------------------------------------
// Message boxes

// An expected message box.
struct Box {
    std::wstring exact;                  // the whole text; empty: not compared
    std::vector<std::wstring> contains;  // pieces the text must hold
};

// What a message box of the launcher shows.
struct SeenBox {
    std::wstring title, text;
    int buttons = 0;          // visible buttons
    std::wstring buttonText;  // the caption of the last visible one
    int redPixels = 0, iconPixels = 0;

    // The stop icon is a red disc: many strongly red pixels, which the
    // information, question and warning icons don't have.
    bool StopIcon() const { return iconPixels > 0 && redPixels * 5 >= iconPixels; }
};

inline SeenBox ReadBox(HWND box)
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

// The launcher's message boxes: its title, one OK button and the stop icon.
inline void CheckBoxLooks(const SeenBox& seen, const std::wstring& which)
{
    CheckEqual(seen.title, L"Trelvo", which + L" title");
    CheckEqual(seen.buttons, 1, which + L" visible buttons");
    CheckEqual(ToLower(seen.buttonText), L"ok", which + L" button");
    Check(seen.StopIcon(), which + L" should show the stop icon (" + std::to_wstring(seen.redPixels) + L" of " +
                               std::to_wstring(seen.iconPixels) + L" icon pixels red)");
}

// Checks a message box against the one expected at its place among a case's
// boxes (a box beyond them is unexpected); `expand` fills the case's
// placeholders into an expected text.
template <typename Expand>
void CheckBoxAgainst(const SeenBox& seen, const std::vector<Box>& boxes, int index, const std::wstring& which,
                     Expand&& expand)
{
    if (index >= int(boxes.size())) {
        Check(false, L"unexpected " + which + L": " + Show(seen.title) + L" " + Show(seen.text));
        return;
    }
    CheckBoxLooks(seen, which);
    const Box& expected = boxes[size_t(index)];
    if (!expected.exact.empty()) CheckEqual(seen.text, expand(expected.exact), which + L" text");
    for (const auto& piece : expected.contains) {
        std::wstring wanted = expand(piece);
        Check(seen.text.find(wanted) != std::wstring::npos,
              which + L" text " + Show(seen.text) + L" should contain " + Show(wanted));
    }
}

inline void PressOk(HWND box)
{
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(GetDlgItem(box, IDOK)));
}

// ---------------------------------------------------------------------------
// The splash window

constexpr COLORREF kBack = RGB(47, 31, 107);
constexpr COLORREF kPictureColour = RGB(200, 180, 20);
constexpr COLORREF kIconColour = RGB(255, 0, 255);

// The design in twips; a length in pixels is twips * DPI / 1440, rounded.
constexpr int kClientWidth = 7215, kClientHeight = 5175;
constexpr int kButtonWidth = 1395, kButtonHeight = 495, kButtonTop = 4560;
constexpr int kFirstButtonId = 101;
// Left edges by the number of buttons shown.
constexpr int kLefts[6][5] = {
    {}, {2910}, {2910, 5790}, {30, 2910, 5790}, {30, 1950, 3870, 5790}, {30, 1470, 2910, 4350, 5790},
};

inline int Pixels(int dpi, int twips) { return MulDiv(twips, dpi, 1440); }

// What the driver does to the shown splash window.
enum class Step {
    Close,     // WM_CLOSE
    CloseBox,  // the system menu's Close (SC_CLOSE), as the close box sends it
    Escape,    // the Escape key on the focused control
    Click,     // BM_CLICK on the kept button `slot`
    TabEnter,  // Tab (at least once) until `slot` has the focus, then Enter
    TabSpace,  // the same, then Space
};

// A pixel of the client area, sampled on the screen.
struct Pixel {
    int x, y;
    COLORREF colour;
    int tolerance;
    const wchar_t* where;
};

struct Splash {
    std::wstring title;
    std::vector<std::wstring> captions;  // the kept buttons' captions, slot by slot
    std::vector<Pixel> pixels;
    bool mediumIcon = false;  // the medium's icon (kIconColour) shows in the title bar
    Step step = Step::Close;
    int slot = 0;
};

// The small splash picture most cases use, drawn at 96 DPI.
constexpr int kPictureWidth = 50, kPictureHeight = 40;

// Where the picture and the background meet: the picture at the top left
// at its own size, the background colour right of it and below it.
inline std::vector<Pixel> AroundPicture(COLORREF back)
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

// Tab until the button in `slot` has the focus (at least one Tab), checking
// that each Tab moves to the next visible button in order.
inline bool TabTo(HWND splash, int slot, int kept)
{
    if (!Check(slot < kept, L"a keyboard step needs a kept button in slot " + std::to_wstring(slot))) return false;
    HWND target = GetDlgItem(splash, kFirstButtonId + slot);
    // The window takes the focus as it activates, just after it shows.
    WaitUntil([&] { return IsChild(splash, FocusOf(splash)) != FALSE; }, 3000);
    HWND focus = FocusOf(splash);
    int at = -1;
    for (int k = 0; k < kept; ++k)
        if (focus == GetDlgItem(splash, kFirstButtonId + k)) at = k;
    if (!Check(at >= 0, L"the focus should be on a visible button when the window shows (focus " +
                            ClassOf(focus) + L" id " + std::to_wstring(GetDlgCtrlID(focus)) + L")"))
        return false;
    for (int presses = 0; presses <= kept; ++presses) {
        HWND before = FocusOf(splash);
        PostKey(before, VK_TAB);
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
inline bool CheckLength(long actual, int dpi, int twips, const std::wstring& what)
{
    long expected = Pixels(dpi, twips);
    long slack = dpi == 96 ? 0 : 1;
    return Check(std::labs(actual - expected) <= slack,
                 what + L": got " + std::to_wstring(actual) + L", expected " + std::to_wstring(expected) +
                     (slack ? L" (\u00b1" + std::to_wstring(slack) + L")" : L""));
}

// Title, size, buttons, pixels and icon of the shown window, then the step
// that closes it or presses a button.
inline void InspectSplash(HWND splash, const Splash& expected, int dpi)
{
    int kept = int(expected.captions.size());

    CheckEqual(TextOf(splash), expected.title, L"window title");
    RECT client{};
    GetClientRect(splash, &client);
    CheckLength(client.right - client.left, dpi, kClientWidth, L"client width");
    CheckLength(client.bottom - client.top, dpi, kClientHeight, L"client height");

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
        if (!CheckEqual(IsWindowVisible(button) ? 1 : 0, shouldShow ? 1 : 0, which + L" visible"))
            continue;
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

    if (!expected.pixels.empty()) {
        // Sampled until the window has painted (bounded).
        auto allMatch = [&] {
            for (const Pixel& p : expected.pixels)
                if (!Near(ClientPixel(splash, p.x, p.y), p.colour, p.tolerance)) return false;
            return true;
        };
        WaitUntil(allMatch, 3000);
        for (const Pixel& p : expected.pixels) {
            COLORREF actual = ClientPixel(splash, p.x, p.y);
            Check(Near(actual, p.colour, p.tolerance),
                  std::wstring(L"pixel ") + p.where + L" (" + std::to_wstring(p.x) + L"," + std::to_wstring(p.y) +
                      L"): got " + ColourText(actual) + L", expected " + ColourText(p.colour));
        }
    }

    if (expected.mediumIcon) {
        // The small icon in the title bar: the medium's icon is one solid
        // colour that nothing else in the frame has.
        RECT frame{};
        GetWindowRect(splash, &frame);
        POINT clientTop{0, 0};
        ClientToScreen(splash, &clientTop);
        RECT titleBar{frame.left, frame.top, frame.right, clientTop.y};
        int found = 0;
        auto count = [&] {
            std::vector<COLORREF> pixels = Capture(titleBar);
            found = int(std::count_if(pixels.begin(), pixels.end(),
                                      [](COLORREF p) { return Near(p, kIconColour, 12); }));
            return found >= 16;
        };
        Check(WaitUntil(count, 3000), L"the medium's icon should show in the title bar (" + std::to_wstring(found) +
                                          L" pixels of its colour)");
    }

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
        if (TabTo(splash, expected.slot, kept)) {
            PostKey(FocusOf(splash), expected.step == Step::TabEnter ? VK_RETURN : VK_SPACE);
        } else {
            PostMessageW(splash, WM_CLOSE, 0, 0);
        }
        break;
    }
}

// ---------------------------------------------------------------------------
// Running the launcher

// The launcher started in a job object of its own: every program it starts
// stays in the job, where the driver waits for it, counts it and ends it.
class LauncherRun {
public:
    LauncherRun() = default;
    LauncherRun(const LauncherRun&) = delete;
    LauncherRun& operator=(const LauncherRun&) = delete;
    ~LauncherRun() { Finish(); }

    // Starts `exe` (no arguments) with `cwd` as its current directory; on
    // failure `error` holds the system's text and `errorCode` its number.
    bool Start(const std::wstring& exe, const std::wstring& cwd)
    {
        job_ = CreateJobObjectW(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);

        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            cwd.c_str(), &startup, &process_)) {
            errorCode = GetLastError();
            error = SystemErrorText(errorCode);
            process_ = {};
            return false;
        }
        inJob = AssignProcessToJobObject(job_, process_.hProcess) != 0;
        ResumeThread(process_.hThread);
        return true;
    }

    HANDLE Process() const { return process_.hProcess; }

    // Calls `onWindow` once for each top-level window of the launcher as it
    // becomes visible, and `tick` (when given) on each turn, until the
    // launcher ends or `bound` milliseconds have passed; then it is
    // terminated. True when it ended by itself.
    bool Watch(DWORD bound, const std::function<void(HWND)>& onWindow, const std::function<void()>& tick = {})
    {
        std::vector<HWND> handled;
        DWORD start = GetTickCount();
        for (;;) {
            for (HWND window : TopLevelWindows(process_.dwProcessId)) {
                if (!IsWindowVisible(window)) continue;
                if (std::find(handled.begin(), handled.end(), window) != handled.end()) continue;
                handled.push_back(window);
                onWindow(window);
            }
            if (tick) tick();
            if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return true;
            if (GetTickCount() - start > bound) {
                TerminateProcess(process_.hProcess, 99);
                WaitForSingleObject(process_.hProcess, 5000);
                return false;
            }
        }
    }

    DWORD ExitCode() const
    {
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

    // Waits (bounded) until no process of the job runs; false when some still
    // do or the job cannot tell.
    bool WaitForJob(DWORD milliseconds)
    {
        if (!inJob) return false;
        return WaitUntil([&] { auto info = Accounting(); return info && info->ActiveProcesses == 0; },
                         milliseconds);
    }

    // How many processes ever ran in the job, the launcher included; absent
    // when the job cannot tell.
    std::optional<DWORD> TotalProcesses() const
    {
        auto info = Accounting();
        if (!inJob || !info || info->TotalProcesses == 0) return std::nullopt;
        return info->TotalProcesses;
    }

    // Ends whatever still runs in the job and lets go of the handles.
    void Finish()
    {
        if (job_) {
            TerminateJobObject(job_, 99);
            CloseHandle(job_);
            job_ = nullptr;
        }
        if (process_.hThread) CloseHandle(process_.hThread);
        if (process_.hProcess) CloseHandle(process_.hProcess);
        process_ = {};
    }

    bool inJob = false;
    std::wstring error;
    DWORD errorCode = 0;

private:
    std::optional<JOBOBJECT_BASIC_ACCOUNTING_INFORMATION> Accounting() const
    {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
        if (!job_ || !QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &info, sizeof info,
                                                nullptr))
            return std::nullopt;
        return info;
    }

    HANDLE job_ = nullptr;
    PROCESS_INFORMATION process_{};
};

// The lines of a UTF-8 log such as probe.log (none when it doesn't exist).
inline std::vector<std::string> LogLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    if (auto log = ReadBytes(path)) {
        size_t at = 0;
        while (at < log->size()) {
            size_t end = log->find('\n', at);
            if (end == std::string::npos) end = log->size();
            std::string line = log->substr(at, end - at);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            at = end + 1;
        }
    }
    return lines;
}

// A list of lines for a failure line: ["a", "b"].
inline std::wstring Listed(const std::vector<std::string>& items)
{
    std::wstring out = L"[";
    for (const auto& item : items) out += (out.size() > 1 ? L", " : L"") + Show(Wide(item));
    return out + L"]";
}

// ---------------------------------------------------------------------------
// Set-up

// The system's text for a program that isn't there, as a start gives it.
inline std::wstring NotFoundText()
{
    std::wstring command = L"trelvo-e2e-no-such-program.exe";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        TerminateProcess(process.hProcess, 0);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return {};
    }
    return SystemErrorText(GetLastError());
}

inline int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// A new folder of its own in the temporary folder (long names), named
// <prefix>-<process id>: a name left by an earlier run (kept after a failure)
// is never reused. Empty when none could be made.
inline std::wstring MakeTempRoot(const std::wstring& prefix)
{
    wchar_t temp[MAX_PATH] = {}, longTemp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    if (!GetLongPathNameW(temp, longTemp, MAX_PATH)) wcscpy(longTemp, temp);
    std::wstring base = std::wstring(longTemp);
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    base += prefix + L"-" + std::to_wstring(GetCurrentProcessId());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring root = attempt == 0 ? base : base + L"-" + std::to_wstring(attempt);
        if (CreateDirectoryW(root.c_str(), nullptr)) return root;
    }
    return {};
}

}  // namespace e2e

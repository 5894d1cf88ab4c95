// End-to-end tests of trelvo.exe, run under Wine (or Windows).
//
//   e2e_driver <trelvo.exe> <probe.exe> [--verbose] [--only=TEXT]
//
// For each case of the tables below: a fresh medium folder with the INI, the
// pictures and the launcher copied under the case's name, plus probe.exe (it
// logs every command line it is started with). The launcher runs in a job
// object; the driver watches its windows from outside, reads and dismisses
// its message boxes, measures and samples the splash window, acts on it like
// a user, and checks the exit code and the command lines that were started.
//
// Prints one line per failed check and finally "N passed, N failed".
// Exit code 0 only when no check failed.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Output and checks

bool verbose = false;
int passed = 0, failed = 0;
std::wstring currentCase;

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), size);
    return out;
}

void Print(const std::wstring& line)
{
    std::string bytes = Utf8(line) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

// A text shown in a failure line: quoted, line breaks made visible.
std::wstring Show(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\r') out += L"\\r";
        else if (c == L'\n') out += L"\\n";
        else out += c;
    }
    return out + L"\"";
}

bool Check(bool ok, const std::wstring& what)
{
    if (ok) {
        ++passed;
    } else {
        ++failed;
        Print(L"FAILED [" + currentCase + L"] " + what);
    }
    return ok;
}

bool CheckEqual(const std::wstring& actual, const std::wstring& expected, const std::wstring& what)
{
    return Check(actual == expected, what + L": got " + Show(actual) + L", expected " + Show(expected));
}

bool CheckEqual(long long actual, long long expected, const std::wstring& what)
{
    return Check(actual == expected,
                 what + L": got " + std::to_wstring(actual) + L", expected " + std::to_wstring(expected));
}

std::wstring ColourText(COLORREF c)
{
    if (c == CLR_INVALID) return L"(unreadable)";
    return L"(" + std::to_wstring(GetRValue(c)) + L"," + std::to_wstring(GetGValue(c)) + L"," +
           std::to_wstring(GetBValue(c)) + L")";
}

// ---------------------------------------------------------------------------
// Small helpers

std::wstring ToLower(std::wstring text)
{
    if (!text.empty()) CharLowerBuffW(text.data(), DWORD(text.size()));
    return text;
}

void Replace(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

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

std::wstring SystemErrorText(DWORD error)
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
std::wstring WindowsPath(const std::wstring& path)
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

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::optional<std::string> ReadBytes(const std::wstring& path)
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

void DeleteTree(const std::wstring& folder)
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
std::string IniBytes(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Pictures, drawn in code

void Put16(std::string& out, unsigned value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Put32BigEndian(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out += char((value >> shift) & 0xFF);
}

// A 24-bit BMP of one colour.
std::string Bmp(int width, int height, COLORREF colour)
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

std::uint32_t Crc32(const std::string& bytes)
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
std::string Png(int width, int height, const std::function<Rgba(int, int)>& pixel)
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
std::string Ico(COLORREF colour)
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
std::vector<COLORREF> Capture(const RECT& area)
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

// Waits (bounded) until `done` holds; true when it did.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(25);
    }
}

// ---------------------------------------------------------------------------
// The cases

enum class Folder { Media, Other };
enum class Cwd { Media, Other, DriveRoot };

// A file or folder placed before the start.
struct Extra {
    Folder in;
    std::wstring name;
    std::string bytes;
    bool folder = false;
};

// An expected message box. Texts may hold {media}, {cwd}, {ini} and
// {notfound} (the system's text for a program that isn't there).
struct Box {
    std::wstring exact;                  // the whole text; empty: not compared
    std::vector<std::wstring> contains;  // pieces the text must hold
};

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

struct Case {
    std::wstring name;
    std::optional<std::string> ini;  // written as <cwd>\<exe base name>.ini; {media} is replaced
    std::wstring exe = L"setup.exe";
    std::wstring folder = L"media";
    Cwd cwd = Cwd::Media;
    std::vector<Extra> extras;
    std::vector<std::wstring> probes = {L"probe.exe"};
    int exitCode = 0;
    std::vector<Box> boxes;
    std::vector<std::string> started;  // probe.log lines, each exactly once
    std::optional<Splash> splash;      // absent: no splash window may show
};

constexpr COLORREF kBack = RGB(47, 31, 107);
constexpr COLORREF kPictureColour = RGB(200, 180, 20);
constexpr COLORREF kIconColour = RGB(255, 0, 255);
constexpr int kPictureWidth = 50, kPictureHeight = 40;

const std::wstring kMissingIni = L"{ini} doesn't exist. INI filename must be the same as EXE filename.";

Extra SplashBmp(Folder in = Folder::Media, const std::wstring& name = L"splash.bmp")
{
    return {in, name, Bmp(kPictureWidth, kPictureHeight, kPictureColour)};
}

// A [BUTTONn] section; a null pointer leaves the key out.
std::string Button(int n, const char* show, const char* caption, const char* action)
{
    std::string out = "[BUTTON" + std::to_string(n) + "]\n";
    if (show) out += std::string("Show=") + show + "\n";
    if (caption) out += std::string("Caption=") + caption + "\n";
    if (action) out += std::string("Action=") + action + "\n";
    return out;
}

// The [DIALOG] section of a shown window with the small picture.
std::string Dialog(const char* show, const std::string& more = "")
{
    return std::string("[DIALOG]\nShow=") + show + "\nPicture=splash.bmp\n" + more;
}

// Where the picture and the background meet: the picture at the top left
// at its own size, the background colour right of it and below it.
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

// Missing INI, where it is looked for, and the executable's name.
std::vector<Case> StartupCases()
{
    const std::string toProbe = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /media-ini\n";
    return {
        {.name = L"missing INI", .exitCode = 1, .boxes = {{kMissingIni}}},
        {.name = L"INI beside the exe, current directory elsewhere",
         .cwd = Cwd::Other,
         .extras = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
        {.name = L"INI read from the current directory, not the exe's",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /From-Current-Dir\n",
         .cwd = Cwd::Other,
         .extras = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .started = {"probe.exe /from-current-dir"}},
        {.name = L"renamed exe looks for its own INI",
         .exe = L"install.exe",
         .extras = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
        {.name = L"renamed exe reads its own INI",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Autorun\n",
         .exe = L"autorun.exe",
         .extras = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .started = {"probe.exe /autorun"}},
        {.name = L"exe name with a space and a dot",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Dotted\n",
         .exe = L"Disc Setup.v2.exe",
         .started = {"probe.exe /dotted"}},
        {.name = L"missing INI in a drive root",
         .exe = L"trelvo-e2e-nothing-here.exe",
         .cwd = Cwd::DriveRoot,
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
        {.name = L"Cyrillic and Greek folder: silent exit",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=exit\n",
         .folder = L"Установка Σετ"},
        {.name = L"Cyrillic and Greek folder: missing INI",
         .folder = L"Установка Σετ",
         .exitCode = 1,
         .boxes = {{kMissingIni, {L"Установка Σετ\\setup.ini"}}}},
        {.name = L"Cyrillic and Greek folder: command started",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /From-Unicode-Folder\n",
         .folder = L"Установка Σετ",
         .started = {"probe.exe /from-unicode-folder"}},
    };
}

// Silent mode: the default action.
std::vector<Case> SilentCases()
{
    return {
        {.name = L"silent exit", .ini = "[DIALOG]\nShow=False\nDefaultAction=exit\n"},
        {.name = L"silent EXIT", .ini = "[DIALOG]\nShow=False\nDefaultAction=EXIT\n"},
        {.name = L"silent Exit", .ini = "[DIALOG]\nShow=False\nDefaultAction=Exit\n"},
        {.name = L"Show key absent is silent", .ini = "[DIALOG]\nDefaultAction=exit\n"},
        {.name = L"command with arguments lower-cased",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.EXE /Lang=DE\n",
         .started = {"probe.exe /lang=de"}},
        {.name = L"quoted program name with a space",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=\"Probe Tool.EXE\" /Mode=Quiet\n",
         .probes = {L"probe.exe", L"Probe Tool.exe"},
         .started = {"\"probe tool.exe\" /mode=quiet"}},
        {.name = L"program that isn't there",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=No-Such-Tool.EXE /Q\n",
         .exitCode = 3,
         .boxes = {{L"", {L"no-such-tool.exe /q", L"{notfound}"}}}},
        {.name = L"empty INI tries to start false",
         .ini = "",
         .exitCode = 3,
         .boxes = {{L"", {L"false", L"{notfound}"}}}},
        {.name = L"DIALOG without DefaultAction tries to start false",
         .ini = "[DIALOG]\nShow=False\nCaption=Nothing to do\n",
         .exitCode = 3,
         .boxes = {{L"", {L"false", L"{notfound}"}}}},
    };
}

// [DIALOG] Show as a boolean text. The dialog-mode values are covered by the
// layout table (True, 1, -1, TRUE, tRuE, 7).
std::vector<Case> ShowValueCases()
{
    const std::string buttons = Button(1, "True", "One", "Probe.exe /one");
    return {
        {.name = L"Show=0 is silent",
         .ini = "[DIALOG]\nShow=0\nDefaultAction=Probe.exe /Zero\n" + buttons,
         .started = {"probe.exe /zero"}},
        {.name = L"Show=False is silent",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Word\n" + buttons,
         .started = {"probe.exe /word"}},
        {.name = L"Show=fALSE is silent",
         .ini = "[DIALOG]\nShow=fALSE\nDefaultAction=Probe.exe /Mixed\n" + buttons,
         .started = {"probe.exe /mixed"}},
        {.name = L"Show=Maybe is an error",
         .ini = "[DIALOG]\nShow=Maybe\nDefaultAction=Probe.exe /never\nPicture=splash.bmp\n" + buttons,
         .extras = {SplashBmp()},
         .exitCode = 3,
         .boxes = {{L"", {L"Show", L"DIALOG", L"{ini}", L"Maybe"}}}},
        {.name = L"button Show=Yes is an error",
         .ini = Dialog("True") + Button(1, "True", "One", "Probe.exe /one") + Button(2, "0", "Two", "x") +
                Button(3, "Yes", "Three", "Probe.exe /three"),
         .extras = {SplashBmp()},
         .exitCode = 3,
         .boxes = {{L"", {L"Show", L"BUTTON3", L"{ini}", L"Yes"}}}},
    };
}

// Every row of the layout, with a different way out of each window.
std::vector<Case> LayoutCases()
{
    return {
        {.name = L"layout of 0 buttons, Escape",
         .ini = Dialog("True", "Caption=No Buttons\n") + Button(1, "False", "One", "Probe.exe /one") +
                Button(2, "0", "Two", "Probe.exe /two") + Button(3, nullptr, "Three", "Probe.exe /three") +
                Button(6, "True", "Six", "Probe.exe /six"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"No Buttons", .captions = {}, .step = Step::Escape}},
        {.name = L"layout of 1 button, click",
         .ini = Dialog("1", "Caption=One Button\n") + Button(1, "1", "&Install", "Probe.EXE /Slot=One"),
         .extras = {SplashBmp()},
         .started = {"probe.exe /slot=one"},
         .splash = Splash{.title = L"One Button", .captions = {L"&Install"}, .step = Step::Click, .slot = 0}},
        {.name = L"layout of 2 buttons, WM_CLOSE",
         .ini = Dialog("-1", "Caption=Two Buttons\n") + Button(1, "True", "Read Me", "Probe.exe /readme") +
                Button(2, "True", "Browse", "Probe.exe /browse"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Two Buttons", .captions = {L"Read Me", L"Browse"}, .step = Step::Close}},
        {.name = L"layout of 3 buttons, exit button",
         .ini = Dialog("TRUE", "Caption=Three Buttons\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "True", "Two", "Probe.exe /two") + Button(3, "True", "E&xit", "Exit"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Three Buttons",
                          .captions = {L"One", L"Two", L"E&xit"},
                          .step = Step::Click,
                          .slot = 2}},
        {.name = L"layout of 4 buttons, Escape",
         .ini = Dialog("tRuE", "Caption=Four Buttons\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "True", "Two", "Probe.exe /two") + Button(3, "True", "Three", "Probe.exe /three") +
                Button(4, "True", "Four", "Probe.exe /four"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Four Buttons",
                          .captions = {L"One", L"Two", L"Three", L"Four"},
                          .step = Step::Escape}},
        {.name = L"layout of 5 buttons, click the last",
         .ini = Dialog("7", "Caption=Five Buttons\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "1", "Two", "Probe.exe /two") + Button(3, "-1", "Three", "Probe.exe /three") +
                Button(4, "TRUE", "Four", "Probe.exe /four") + Button(5, "true", "Five", "Probe.EXE /Five") +
                Button(6, "True", "Six", "Probe.exe /six"),
         .extras = {SplashBmp()},
         .started = {"probe.exe /five"},
         .splash = Splash{.title = L"Five Buttons",
                          .captions = {L"One", L"Two", L"Three", L"Four", L"Five"},
                          .step = Step::Click,
                          .slot = 4}},
    };
}

// Kept sections are packed into the first slots; defaults of absent keys.
std::vector<Case> PackingCases()
{
    return {
        {.name = L"BUTTON2 and BUTTON4 packed into slots 0 and 1",
         .ini = Dialog("True", "Caption=Packed\n") + Button(1, "False", "First", "Probe.exe /first") +
                Button(2, "True", "Second", "Probe.exe /second") + Button(4, "1", "Fourth", "Probe.exe /Fourth") +
                Button(5, "0", "Fifth", "Probe.exe /fifth") + Button(6, "True", "Sixth", "Probe.exe /sixth"),
         .extras = {SplashBmp()},
         .started = {"probe.exe /fourth"},
         .splash = Splash{.title = L"Packed", .captions = {L"Second", L"Fourth"}, .step = Step::Click, .slot = 1}},
        {.name = L"absent Caption and Action keys",
         .ini = Dialog("True") + Button(1, "True", "Alpha", "Probe.exe /alpha") +
                Button(2, "True", nullptr, "Probe.exe /two") + Button(3, "True", "Gamma", nullptr),
         .extras = {SplashBmp()},
         .exitCode = 3,
         .boxes = {{L"", {L"false", L"{notfound}"}}},
         .splash = Splash{.title = L"False",
                          .captions = {L"Alpha", L"False", L"Gamma"},
                          .step = Step::Click,
                          .slot = 2}},
    };
}

// Keyboard: Tab among the visible buttons, Enter and Space press the focused one.
std::vector<Case> KeyboardCases()
{
    return {
        {.name = L"Tab to the third button, Enter",
         .ini = Dialog("True", "Caption=Keys\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "True", "Two", "Probe.exe /two") + Button(3, "True", "Three", "Probe.exe /Three"),
         .extras = {SplashBmp()},
         .started = {"probe.exe /three"},
         .splash = Splash{.title = L"Keys",
                          .captions = {L"One", L"Two", L"Three"},
                          .step = Step::TabEnter,
                          .slot = 2}},
        {.name = L"Tab wraps past hidden buttons, Space",
         .ini = Dialog("True", "Caption=Wrap\n") + Button(1, "False", "One", "Probe.exe /one") +
                Button(3, "True", "Three", "Probe.exe /Three") + Button(5, "True", "Five", "Probe.exe /Five"),
         .extras = {SplashBmp()},
         .started = {"probe.exe /three"},
         .splash = Splash{.title = L"Wrap", .captions = {L"Three", L"Five"}, .step = Step::TabSpace, .slot = 0}},
    };
}

// The picture: it must exist.
std::vector<Case> PictureCases()
{
    const std::string buttons = Button(1, "True", "One", "Probe.exe /one");
    return {
        {.name = L"missing picture file",
         .ini = "[DIALOG]\nShow=True\nPicture=missing.bmp\nDefaultAction=Probe.exe /never\n" + buttons,
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - missing.bmp"}}},
        {.name = L"missing picture keeps the path as written",
         .ini = "[DIALOG]\nShow=True\nPicture=Art\\Missing.BMP\n" + buttons,
         .extras = {{Folder::Media, L"Art", "", true}},
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - Art\\Missing.BMP"}}},
        {.name = L"no Picture key",
         .ini = "[DIALOG]\nShow=True\nCaption=No Picture\n" + buttons,
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - False"}}},
        {.name = L"Picture naming a folder",
         .ini = "[DIALOG]\nShow=True\nPicture=pictures\n" + buttons,
         .extras = {{Folder::Media, L"pictures", "", true}},
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - pictures"}}},
    };
}

// Background colour in its three notations, its default, and a PNG blended over it.
std::vector<Case> ColourCases()
{
    // PNG 40 x 30: left half opaque picture colour, right half white at alpha
    // 128; the lowest 10 rows fully transparent red.
    auto png = Png(40, 30, [](int x, int y) -> Rgba {
        if (y >= 20) return {255, 0, 0, 0};
        if (x < 20) return {GetRValue(kPictureColour), GetGValue(kPictureColour), GetBValue(kPictureColour), 255};
        return {255, 255, 255, 128};
    });
    auto blend = [](int over, int back) { return (over * 128 + back * 127 + 127) / 255; };
    COLORREF halfWhite = RGB(blend(255, GetRValue(kBack)), blend(255, GetGValue(kBack)), blend(255, GetBValue(kBack)));

    return {
        {.name = L"BackColor r,g,b",
         .ini = Dialog("True", "BackColor=47,31,107\nCaption=Colour\n") + Button(1, "True", "One", "Probe.exe /one"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Colour", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"BackColor &H hex, picture by full path",
         .ini = "[DIALOG]\nShow=True\nBackColor=&H6B1F2F\nCaption=Colour\nPicture={media}\\art\\Splash.bmp\n" +
                Button(1, "True", "One", "Probe.exe /one"),
         .extras = {{Folder::Media, L"art", "", true}, SplashBmp(Folder::Media, L"art\\Splash.bmp")},
         .splash = Splash{.title = L"Colour", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"BackColor decimal",
         .ini = Dialog("True", "BackColor=7020335\nCaption=Colour\n") + Button(1, "True", "One", "Probe.exe /one"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Colour",
                          .captions = {L"One"},
                          .pixels = AroundPicture(kBack),
                          .step = Step::CloseBox}},
        {.name = L"no BackColor key is black",
         .ini = Dialog("True", "Caption=Colour\n") + Button(1, "True", "One", "Probe.exe /one"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Colour", .captions = {L"One"}, .pixels = AroundPicture(RGB(0, 0, 0))}},
        {.name = L"PNG transparency over the background",
         .ini = "[DIALOG]\nShow=True\nBackColor=47,31,107\nCaption=Alpha\nPicture=splash.png\n",
         .extras = {{Folder::Media, L"splash.png", png}},
         .splash = Splash{.title = L"Alpha",
                          .captions = {},
                          .pixels = {{5, 5, kPictureColour, 3, L"opaque part"},
                                     {30, 10, halfWhite, 6, L"half transparent white"},
                                     {10, 25, kBack, 3, L"fully transparent part"},
                                     {40, 10, kBack, 2, L"right of the picture"},
                                     {10, 30, kBack, 2, L"below the picture"}}}},
    };
}

// The window's icon and title.
std::vector<Case> IconCases()
{
    return {
        {.name = L"missing icon keeps the built-in one",
         .ini = Dialog("True", "Icon=nothere.ico\nCaption=Icon Missing\n") + Button(1, "True", "One", "Probe.exe /1"),
         .extras = {SplashBmp()},
         .splash = Splash{.title = L"Icon Missing", .captions = {L"One"}}},
        {.name = L"icon from the medium",
         .ini = Dialog("True", "Icon=product.ico\nCaption=Icon Given\n") + Button(1, "True", "One", "Probe.exe /1"),
         .extras = {SplashBmp(), {Folder::Media, L"product.ico", Ico(kIconColour)}},
         .splash = Splash{.title = L"Icon Given", .captions = {L"One"}, .mediumIcon = true}},
    };
}

// ---------------------------------------------------------------------------
// Running one case

// The design at 96 DPI, in pixels.
constexpr int kClientWidth = 481, kClientHeight = 345;
constexpr int kButtonWidth = 93, kButtonHeight = 33, kButtonTop = 304;
constexpr int kFirstButtonId = 101;
constexpr int kLefts[6][5] = {
    {}, {194}, {194, 386}, {2, 194, 386}, {2, 130, 258, 386}, {2, 98, 194, 290, 386},
};

struct Context {
    std::wstring launcher, probe, tempRoot, notFound;
    int dpi = 96;
};

struct Paths {
    std::wstring caseRoot, media, other, cwd, ini;
};

struct Observed {
    std::vector<HWND> handled;
    int boxes = 0;
    bool splashShown = false;
    bool splashInspected = false;
};

int Scale(const Context& context, int pixels) { return MulDiv(pixels, context.dpi, 96); }

std::wstring Expand(std::wstring text, const Paths& paths, const Context& context)
{
    Replace(text, L"{media}", paths.media);
    Replace(text, L"{cwd}", paths.cwd);
    Replace(text, L"{ini}", paths.ini);
    Replace(text, L"{notfound}", context.notFound);
    return text;
}

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

// A message box: its title, text, one OK button and the stop icon; then OK.
void ReadBox(HWND box, const Case& c, const Paths& paths, const Context& context, int index)
{
    std::wstring which = L"message box " + std::to_wstring(index + 1);
    std::wstring title = TextOf(box);
    wchar_t buffer[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, buffer, 4096);
    std::wstring text = buffer;
    if (verbose) Print(L"  box " + Show(title) + L": " + Show(text));

    if (index < int(c.boxes.size())) {
        CheckEqual(title, L"Trelvo", which + L" title");
        const Box& expected = c.boxes[size_t(index)];
        if (!expected.exact.empty()) CheckEqual(text, Expand(expected.exact, paths, context), which + L" text");
        for (const auto& piece : expected.contains) {
            std::wstring wanted = Expand(piece, paths, context);
            Check(text.find(wanted) != std::wstring::npos,
                  which + L" text " + Show(text) + L" should contain " + Show(wanted));
        }

        int buttons = 0;
        std::wstring buttonText;
        for (HWND child : Children(box))
            if (ToLower(ClassOf(child)) == L"button" && IsWindowVisible(child)) {
                ++buttons;
                buttonText = TextOf(child);
            }
        CheckEqual(buttons, 1, which + L" visible buttons");
        CheckEqual(ToLower(buttonText), L"ok", which + L" button");

        // The stop icon is a red disc: many strongly red pixels, which the
        // information, question and warning icons don't have.
        HWND icon = GetDlgItem(box, 0x0440);
        int red = 0, total = 0;
        if (icon && IsWindowVisible(icon)) {
            RECT area;
            GetWindowRect(icon, &area);
            WaitUntil(
                [&] {
                    std::vector<COLORREF> pixels = Capture(area);
                    total = int(pixels.size());
                    red = int(std::count_if(pixels.begin(), pixels.end(), [](COLORREF p) {
                        return GetRValue(p) >= 160 && GetGValue(p) <= 90 && GetBValue(p) <= 90;
                    }));
                    return total > 0 && red * 5 >= total;
                },
                3000);
        }
        Check(total > 0 && red * 5 >= total, which + L" should show the stop icon (" + std::to_wstring(red) +
                                                 L" of " + std::to_wstring(total) + L" icon pixels red)");
    } else {
        Check(false, L"unexpected " + which + L": " + Show(title) + L" " + Show(text));
    }

    HWND ok = GetDlgItem(box, IDOK);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(ok));
}

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

void InspectSplash(HWND splash, const Case& c, const Context& context)
{
    const Splash& expected = *c.splash;
    int kept = int(expected.captions.size());

    CheckEqual(TextOf(splash), expected.title, L"window title");
    RECT client{};
    GetClientRect(splash, &client);
    CheckEqual(client.right - client.left, Scale(context, kClientWidth), L"client width");
    CheckEqual(client.bottom - client.top, Scale(context, kClientHeight), L"client height");

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
        CheckEqual(rect.left, Scale(context, kLefts[kept][slot]), which + L" left");
        CheckEqual(rect.top, Scale(context, kButtonTop), which + L" top");
        CheckEqual(rect.right - rect.left, Scale(context, kButtonWidth), which + L" width");
        CheckEqual(rect.bottom - rect.top, Scale(context, kButtonHeight), which + L" height");
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

bool Prepare(const Case& c, int index, const Context& context, Paths& paths)
{
    paths.caseRoot = context.tempRoot + L"\\" + std::to_wstring(index);
    paths.media = paths.caseRoot + L"\\" + c.folder;
    paths.other = paths.caseRoot + L"\\other";
    bool ok = CreateDirectoryW(paths.caseRoot.c_str(), nullptr) && CreateDirectoryW(paths.media.c_str(), nullptr) &&
              CreateDirectoryW(paths.other.c_str(), nullptr);
    if (!Check(ok, L"creating the case folders under " + paths.caseRoot)) return false;

    if (c.cwd == Cwd::Media) {
        paths.cwd = paths.media;
    } else if (c.cwd == Cwd::Other) {
        paths.cwd = paths.other;
    } else {
        wchar_t volume[MAX_PATH] = {};
        GetVolumePathNameW(context.tempRoot.c_str(), volume, MAX_PATH);
        paths.cwd = volume;  // "C:\"
    }
    std::wstring directory = paths.cwd;
    if (!directory.empty() && directory.back() == L'\\') directory.pop_back();
    std::wstring base = c.exe.substr(0, c.exe.rfind(L'.'));
    paths.ini = directory + L"\\" + base + L".ini";

    ok = CopyFileW(context.launcher.c_str(), (paths.media + L"\\" + c.exe).c_str(), FALSE);
    for (const auto& probe : c.probes)
        ok = ok && CopyFileW(context.probe.c_str(), (paths.media + L"\\" + probe).c_str(), FALSE);
    if (!Check(ok, L"copying the programs into " + paths.media)) return false;

    for (const Extra& extra : c.extras) {
        std::wstring path = (extra.in == Folder::Media ? paths.media : paths.other) + L"\\" + extra.name;
        bool made = extra.folder ? CreateDirectoryW(path.c_str(), nullptr) != 0 : WriteBytes(path, extra.bytes);
        if (!Check(made, L"writing " + path)) return false;
    }
    if (c.ini) {
        std::string text = *c.ini;
        std::string media = Utf8(paths.media);
        for (size_t at = text.find("{media}"); at != std::string::npos; at = text.find("{media}", at))
            text.replace(at, 7, media);
        if (!Check(WriteBytes(paths.ini, IniBytes(text)), L"writing " + paths.ini)) return false;
    } else if (c.cwd == Cwd::DriveRoot) {
        if (!Check(GetFileAttributesW(paths.ini.c_str()) == INVALID_FILE_ATTRIBUTES,
                   paths.ini + L" must not exist for this case"))
            return false;
    }
    return true;
}

void RunCase(const Case& c, int index, const Context& context)
{
    currentCase = c.name;
    DWORD began = GetTickCount();
    Paths paths;
    if (!Prepare(c, index, context, paths)) return;

    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    std::wstring exePath = paths.media + L"\\" + c.exe;
    std::wstring commandLine = L"\"" + exePath + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!Check(CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                              nullptr, paths.cwd.c_str(), &startup, &process),
               L"starting " + exePath + L": " + SystemErrorText(GetLastError()))) {
        CloseHandle(job);
        return;
    }
    bool inJob = AssignProcessToJobObject(job, process.hProcess) != 0;
    ResumeThread(process.hThread);

    // Watch the launcher's windows until it ends.
    Observed seen;
    bool ended = false;
    DWORD start = GetTickCount();
    while (!ended) {
        for (HWND window : TopLevelWindows(process.dwProcessId)) {
            if (!IsWindowVisible(window)) continue;
            if (std::find(seen.handled.begin(), seen.handled.end(), window) != seen.handled.end()) continue;
            std::wstring className = ClassOf(window);
            if (className == L"#32770") {
                seen.handled.push_back(window);
                ReadBox(window, c, paths, context, seen.boxes++);
            } else if (className == L"TrelvoSplash") {
                seen.handled.push_back(window);
                seen.splashShown = true;
                if (c.splash && !seen.splashInspected) {
                    seen.splashInspected = true;
                    InspectSplash(window, c, context);
                } else {
                    PostMessageW(window, WM_CLOSE, 0, 0);
                }
            }
        }
        ended = WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0;
        if (!ended && GetTickCount() - start > 20000) {
            Check(false, L"the launcher did not end within 20 s; terminated");
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
    }

    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (ended) CheckEqual(static_cast<long long>(exitCode), c.exitCode, L"exit code");
    CheckEqual(seen.boxes, int(c.boxes.size()), L"message boxes shown");
    if (c.splash) {
        Check(seen.splashInspected, L"the splash window should have shown");
    } else {
        Check(!seen.splashShown, L"no splash window should have shown");
    }

    // Programs the launcher started run on in the job: wait for them.
    bool settled = false;
    if (inJob) {
        settled = WaitUntil(
            [&] {
                JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
                return QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info,
                                                 nullptr) &&
                       info.ActiveProcesses == 0;
            },
            10000);
        Check(settled, L"programs started by the launcher should have ended within 10 s");
    }
    if (!settled) {
        // Without the job's count: wait for the expected lines, then a little more.
        WaitUntil(
            [&] {
                auto log = ReadBytes(paths.media + L"\\probe.log");
                return log && size_t(std::count(log->begin(), log->end(), '\n')) >= c.started.size();
            },
            c.started.empty() ? 500 : 10000);
        Sleep(500);
    }
    TerminateJobObject(job, 99);
    CloseHandle(job);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    std::vector<std::string> lines;
    if (auto log = ReadBytes(paths.media + L"\\probe.log")) {
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
    std::vector<std::string> expected = c.started;
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    auto listed = [](const std::vector<std::string>& items) {
        std::wstring out = L"[";
        for (const auto& item : items) out += (out.size() > 1 ? L", " : L"") + Show(Wide(item));
        return out + L"]";
    };
    Check(lines == expected, L"started command lines: got " + listed(lines) + L", expected " + listed(expected));

    if (verbose)
        Print(L"case " + std::to_wstring(index) + L" [" + c.name + L"] " + std::to_wstring(GetTickCount() - began) +
              L" ms");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    DWORD runStart = GetTickCount();
    std::vector<std::wstring> positional;
    std::wstring only;
    for (int k = 1; k < argc; ++k) {
        std::wstring arg = argv[k];
        if (arg == L"--verbose") verbose = true;
        else if (arg.rfind(L"--only=", 0) == 0) only = arg.substr(7);
        else positional.push_back(arg);
    }
    if (positional.size() != 2) {
        Print(L"usage: e2e_driver <trelvo.exe> <probe.exe> [--verbose] [--only=TEXT]");
        return 2;
    }

    Context context;
    context.launcher = WindowsPath(positional[0]);
    context.probe = WindowsPath(positional[1]);
    currentCase = L"set-up";
    bool ready = Check(GetFileAttributesW(context.launcher.c_str()) != INVALID_FILE_ATTRIBUTES,
                       L"launcher not found: " + context.launcher);
    ready = Check(GetFileAttributesW(context.probe.c_str()) != INVALID_FILE_ATTRIBUTES,
                  L"probe not found: " + context.probe) && ready;

    {
        HDC screen = GetDC(nullptr);
        context.dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }

    // The system's text for a program that isn't there, as a start gives it.
    {
        std::wstring command = L"trelvo-e2e-no-such-program.exe";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            TerminateProcess(process.hProcess, 0);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        } else {
            context.notFound = SystemErrorText(GetLastError());
        }
        ready = Check(!context.notFound.empty(), L"no system text for a missing program") && ready;
    }

    wchar_t temp[MAX_PATH] = {}, longTemp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    if (!GetLongPathNameW(temp, longTemp, MAX_PATH)) wcscpy(longTemp, temp);
    // A folder of its own: a name left by an earlier run (kept after a
    // failure) is never reused.
    std::wstring base = std::wstring(longTemp);
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    base += L"trelvo-e2e-" + std::to_wstring(GetCurrentProcessId());
    bool created = false;
    for (int attempt = 0; attempt < 100 && !created; ++attempt) {
        context.tempRoot = attempt == 0 ? base : base + L"-" + std::to_wstring(attempt);
        created = CreateDirectoryW(context.tempRoot.c_str(), nullptr) != 0;
    }
    ready = Check(created, L"creating " + context.tempRoot) && ready;

    if (ready) {
        std::vector<std::vector<Case>> tables = {StartupCases(), SilentCases(), ShowValueCases(), LayoutCases(),
                                                 PackingCases(), KeyboardCases(), PictureCases(),  ColourCases(),
                                                 IconCases()};
        int index = 0;
        for (const auto& table : tables)
            for (const Case& c : table) {
                ++index;
                if (!only.empty() && c.name.find(only) == std::wstring::npos) continue;
                RunCase(c, index, context);
            }
    }

    Print(L"cases ran in " + std::to_wstring((GetTickCount() - runStart + 500) / 1000) + L" s");
    if (failed == 0) {
        DeleteTree(context.tempRoot);
    } else {
        Print(L"case folders kept in " + context.tempRoot);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}

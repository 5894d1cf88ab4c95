// Tests of the Win32 host against the system's own routines, run under Wine:
// profile reading (the shared table), files and folders, the process start,
// and image decoding. Prints "N passed, N failed"; exit code 1 on failure.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ProfileCases.h"
#include "windows/SampleImages.h"
#include "config/TextConversions.h"
#include "launch/CommandLine.h"
#include "platform/Win32Host.h"

using namespace trelvo;

namespace {

int passed = 0, failed = 0;

void Check(bool ok, const std::string& what)
{
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAILED: %s\n", what.c_str());
    }
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) out += c < 128 ? char(c) : '?';
    return out;
}

std::wstring TempFolder(const std::wstring& name)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"trelvo-windows-tests-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    folder += L"\\" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    win32::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

std::string ReadBytes(const std::wstring& path)
{
    win32::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return {};
    char buffer[4096];
    DWORD read = 0;
    ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr);
    return std::string(buffer, read);
}

// --- profile reading: the shared table against GetPrivateProfileStringW ---

void ProfileCases(win32::Win32Host& host)
{
    std::wstring folder = TempFolder(L"profiles");
    int index = 0;
    for (const auto& c : testing::kProfileCases) {
        std::wstring file = folder + L"\\case" + std::to_wstring(index++) + L".ini";
        if (testing::CaseFileExists(c)) WriteBytes(file, testing::CaseBytes(c));
        wchar_t buffer[256];
        std::uint32_t count = host.ReadProfileString(c.section, c.key, L"", buffer, 255, file);
        std::wstring value(buffer, count);
        Check(value == c.expected, std::string("profile case '") + c.name + "' read '" + Narrow(value) + "'");
    }
}

// A media folder named outside the system code page still finds its file.
void ProfileInFolderOutsideCodePage(win32::Win32Host& host)
{
    std::wstring folder = TempFolder(L"\u0423\u0441\u0442\u0430\u043D\u043E\u0432\u043A\u0430 \u03A3\u03B5\u03C4");
    std::wstring file = folder + L"\\setup.ini";
    WriteBytes(file, "[DIALOG]\r\nShow=True\r\n");
    Check(host.FileExists(file), "file in a Cyrillic/Greek folder exists");
    wchar_t buffer[256];
    std::uint32_t count = host.ReadProfileString(L"DIALOG", L"Show", L"", buffer, 255, file);
    Check(std::wstring(buffer, count) == L"True", "profile read in a Cyrillic/Greek folder");
}

// --- lower case: the system's mapping against the generated table ---

// Differences accepted between the system's mapping and the table, as
// {code point, system's lower case, table's lower case}. None under Wine 8.0:
// its table leaves out the same ten letters the generator does (no round trip
// through the upper case). An older Windows, whose case data predates Unicode
// 15, would keep the case of letters added since (Georgian Mtavruli, ...).
struct LowerCaseDifference {
    char32_t codePoint, system, table;
};
const std::vector<LowerCaseDifference> kAcceptedLowerCaseDifferences = {};

std::wstring Utf16(char32_t c)
{
    if (c < 0x10000) return std::wstring(1, wchar_t(c));
    return {wchar_t(0xD800 + ((c - 0x10000) >> 10)), wchar_t(0xDC00 + ((c - 0x10000) & 0x3FF))};
}

std::string Hex(char32_t c)
{
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", unsigned(c));
    return text;
}

void LowerCase()
{
    // Every code point: the Basic Multilingual Plane one by one (each lone
    // surrogate must come back as it was), the others as surrogate pairs.
    std::string differences;
    int differing = 0, accepted = 0;
    for (char32_t c = 1; c < 0x110000; ++c) {
        std::wstring text = Utf16(c), system = ToLowerCase(text), table = ToLowerCaseByTable(text);
        if (system == table) continue;
        bool known = false;
        for (const auto& d : kAcceptedLowerCaseDifferences)
            known = known || (d.codePoint == c && system == Utf16(d.system) && table == Utf16(d.table));
        accepted += known;
        if (!known && ++differing <= 10) differences += " " + Hex(c);
    }
    Check(differing == 0, "lower case: " + std::to_string(differing) + " code points where the system and the table differ:" +
                              differences);
    std::printf("lower case: %d accepted differences between the system and the table\n", accepted);

    // One long text in one call: the whole plane but the surrogates.
    std::wstring plane;
    for (char32_t c = 1; c < 0x10000; ++c)
        if (c < 0xD800 || c > 0xDFFF) plane += wchar_t(c);
    Check(ToLowerCase(plane) == ToLowerCaseByTable(plane), "lower case of the whole plane in one text");
    Check(ToLowerCase(L"") == L"", "lower case of an empty text");
    Check(ToLowerCase(std::wstring(L"A\0B", 3)) == std::wstring(L"a\0b", 3), "lower case goes past a NUL");
}

// --- files, folders, names ---

void FilesAndFolders(win32::Win32Host& host)
{
    std::wstring folder = TempFolder(L"files");
    WriteBytes(folder + L"\\present.txt", "x");
    CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);
    Check(host.FileExists(folder + L"\\present.txt"), "existing file");
    Check(!host.FileExists(folder + L"\\sub"), "a folder is not a file");
    Check(!host.FileExists(folder + L"\\absent.txt"), "missing file");
    Check(host.FolderExists(folder + L"\\sub") && host.FolderExists(folder + L"\\sub\\"), "existing folder");
    Check(!host.FolderExists(folder + L"\\present.txt"), "a file is not a folder");
    Check(!host.FolderExists(folder + L"\\absent"), "missing folder");

    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.c_str());
    Check(host.CurrentDirectory() == folder, "current directory without separator: " + Narrow(host.CurrentDirectory()));
    Check(host.FileExists(L"present.txt"), "relative path is relative to the current directory");
    SetCurrentDirectoryW(L"C:\\");
    Check(host.CurrentDirectory() == L"C:\\", "drive root keeps its separator");
    SetCurrentDirectoryW(previous);

    Check(host.ExecutableBaseName() == L"windows_tests", "base name: " + Narrow(host.ExecutableBaseName()));
}

// --- process start ---

std::wstring SelfPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

void ProcessStart(win32::Win32Host& host)
{
    std::wstring folder = TempFolder(L"process");
    std::wstring record = folder + L"\\started.txt";
    DWORD handlesBefore = 0, handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    StartOutcome outcome = host.StartProcess(L"\"" + SelfPath() + L"\" --probe \"" + record + L"\" one two");
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    Check(outcome.error == 0, "probe started");
    Check(handlesAfter <= handlesBefore, "no process or thread handle kept");
    std::string seen;
    for (int i = 0; i < 200 && seen.empty(); ++i) {
        Sleep(50);
        seen = ReadBytes(record);
    }
    Check(seen.find("one two") != std::string::npos, "probe got its arguments: " + seen);
    Check(seen.find("show=1") != std::string::npos, "window shown normally: " + seen);

    StartOutcome missing = host.StartProcess(L"false");
    Check(missing.error == ERROR_FILE_NOT_FOUND, "command named false is not found: " + std::to_string(missing.error));
    Check(!missing.errorText.empty(), "the system's error text is given");
}

int Probe(const wchar_t* record)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    std::wstring line = GetCommandLineW();
    std::string text = Narrow(line) + " show=" +
                       std::to_string((startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1);
    WriteBytes(record, text);
    return 0;
}

// --- finding a program: the launcher's search against the process start ---

// Same file by identity (volume and file index), so that short names, case
// and the 32-bit view of the system folder do not matter.
bool SameFile(const std::wstring& a, const std::wstring& b)
{
    auto identity = [](const std::wstring& path) {
        win32::UniqueHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        BY_HANDLE_FILE_INFORMATION info{};
        if (file.get() == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.get(), &info)) return std::wstring();
        return std::to_wstring(info.dwVolumeSerialNumber) + L":" + std::to_wstring(info.nFileIndexHigh) + L":" +
               std::to_wstring(info.nFileIndexLow);
    };
    std::wstring first = identity(a);
    return !first.empty() && first == identity(b);
}

// The image CreateProcessW itself picks for the line, started suspended and
// ended at once; empty when it starts nothing (its error in `error`).
std::wstring ImageStartedFor(const std::wstring& commandLine, DWORD& error)
{
    error = 0;
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process)) {
        error = GetLastError();
        return {};
    }
    win32::UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    wchar_t image[MAX_PATH * 4];
    DWORD size = DWORD(std::size(image));
    std::wstring path = QueryFullProcessImageNameW(process.hProcess, 0, image, &size) ? std::wstring(image, size)
                                                                                       : L"?";
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    return path;
}

void ProgramSearchAgreesWithProcessStart(win32::Win32Host& host)
{
    const std::wstring root = TempFolder(L"search");
    const std::wstring self = SelfPath();
    const std::wstring launcherFolder = self.substr(0, self.find_last_of(L'\\'));
    ProgramSearchFolders folders = host.FoldersSearchedForPrograms();
    Check(SameFile(folders.launcherFolder + L"\\windows_tests.exe", self), "the launcher's folder");
    Check(!folders.systemFolder.empty() && !folders.windowsFolder.empty(), "the system folders");

    for (const wchar_t* folder : {L"\\cur", L"\\cur\\sub dir", L"\\my setup", L"\\trap dir", L"\\my.setup",
                                  L"\\my.setup files", L"\\on path"})
        CreateDirectoryW((root + folder).c_str(), nullptr);
    for (const wchar_t* program : {L"\\my setup\\setup.exe", L"\\trap dir\\setup.exe", L"\\trap.exe",
                                   L"\\my.setup files\\setup.exe", L"\\cur\\trelvo-here.exe",
                                   L"\\cur\\sub dir\\tool.exe", L"\\cur\\windows_tests.exe",
                                   L"\\on path\\trelvo-on-path.exe"})
        CopyFileW(self.c_str(), (root + program).c_str(), FALSE);
    WriteBytes(root + L"\\cur\\notes.txt", "not a program");
    WriteBytes(root + L"\\cur\\empty.txt", "");

    wchar_t previousDirectory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previousDirectory);
    SetCurrentDirectoryW((root + L"\\cur").c_str());
    std::vector<wchar_t> previousPath(32768);
    DWORD pathLength = GetEnvironmentVariableW(L"PATH", previousPath.data(), DWORD(previousPath.size()));
    std::wstring oldPath(previousPath.data(), pathLength);
    SetEnvironmentVariableW(L"PATH", (oldPath + L";" + root + L"\\on path").c_str());

    const std::wstring lines[] = {
        L"\"" + root + L"\\my setup\\setup.exe\" /s",   // quoted
        L"\"" + root + L"\\my setup\\setup\" /s",       // quoted, no extension
        root + L"\\my setup\\setup.exe /s",             // unquoted with a blank
        root + L"\\my setup\\setup /s",                 // ... and no extension
        root + L"\\trap dir\\setup.exe /s",             // a shorter prefix names a program
        root + L"\\my.setup files\\setup.exe",          // a shorter prefix names a folder
        L"trelvo-here /x",                               // the current directory
        L"trelvo-here.exe\t/x",
        L".\\trelvo-here.exe",
        L"sub dir\\tool.exe -x",                        // relative, with a folder
        L"windows_tests /x",                             // the launcher's folder before the current one
        L"trelvo-on-path.exe a b",                       // PATH
        L"cmd /c exit",                                  // the system folder
        L"notepad notes.txt",
        L"regedit",
        L"notes.txt",                                    // found, but no program: a document
        L"empty.txt /p",
        L"no-such-program-trelvo /x",                    // nothing
        L"\"" + root + L"\\my setup\\missing.exe\"",
        root + L"\\my",
    };
    for (const std::wstring& line : lines) {
        std::optional<CommandParts> found = FindProgram(host, line);
        DWORD error = 0;
        std::wstring image = ImageStartedFor(line, error);
        const std::string what = "program search for '" + Narrow(line) + "': found '" +
                                 Narrow(found ? found->program : L"(nothing)") + "', the process start ran '" +
                                 Narrow(image.empty() ? L"(nothing)" : image) + "'";
        if (line.find(L".txt") != std::wstring::npos && line.find(L"notepad") == std::wstring::npos) {
            // A document: the search finds it, the process start refuses it
            // with an error the launcher takes as "no program".
            const std::wstring name = line.substr(0, line.find(L".txt") + 4);
            Check(found && SameFile(found->program, root + L"\\cur\\" + name) && image.empty() &&
                      (error == 193 || error == 191 || error == 11 || error == 1006),
                  what + " (error " + std::to_string(error) + ")");
            continue;
        }
        Check(found.has_value() == !image.empty() && (!found || SameFile(found->program, image)), what);
    }

    SetEnvironmentVariableW(L"PATH", oldPath.c_str());
    SetCurrentDirectoryW(previousDirectory);
}

// --- images ---

std::string Bmp24(int width, int height, std::uint32_t rgb)
{
    int stride = (width * 3 + 3) & ~3;
    std::uint32_t size = 54 + std::uint32_t(stride * height);
    std::string b(size, '\0');
    auto put32 = [&](size_t at, std::uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i)); };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, std::uint32_t(width));
    put32(22, std::uint32_t(height));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            size_t at = 54 + size_t(y * stride + x * 3);
            b[at] = char(rgb & 0xFF);  // blue first
            b[at + 1] = char((rgb >> 8) & 0xFF);
            b[at + 2] = char((rgb >> 16) & 0xFF);
        }
    return b;
}

// A 1x1 PNG, red at half opacity (RGBA 255,0,0,128).
const unsigned char kHalfRedPng[] = {
    0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00,
    0x00, 0x00, 0x0D, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xD0, 0x00, 0x00, 0x04,
    0x81, 0x01, 0x80, 0x2B, 0xA0, 0x5D, 0x7D, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42,
    0x60, 0x82};

// A 1x1 GIF, one green pixel.
const unsigned char kGreenGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
                                   0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00,
                                   0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

std::string FailureOf(auto&& load)
{
    try {
        load();
    } catch (const UncheckedFailure& failure) {
        return Narrow(failure.Message());
    }
    return {};
}

void Images(win32::Win32Host& host)
{
    std::wstring folder = TempFolder(L"images");
    WriteBytes(folder + L"\\blue.bmp", Bmp24(3, 2, 0x0000FF));
    WriteBytes(folder + L"\\half.png", std::string(reinterpret_cast<const char*>(kHalfRedPng), sizeof kHalfRedPng));
    WriteBytes(folder + L"\\green.gif", std::string(reinterpret_cast<const char*>(kGreenGif), sizeof kGreenGif));
    WriteBytes(folder + L"\\text.bmp", "this is not a picture\r\n");
    WriteBytes(folder + L"\\empty.bmp", "");
    std::string huge = Bmp24(1, 1, 0);
    huge[18] = char(0x60), huge[19] = char(0xEA);  // 60000 x 60000
    huge[22] = char(0x60), huge[23] = char(0xEA);
    WriteBytes(folder + L"\\huge.bmp", huge);

    auto pixel = [&](const wchar_t* name) -> std::uint32_t {
        auto picture = host.LoadPicture(folder + L"\\" + name);
        auto& image = static_cast<win32::DecodedImage&>(*picture).image;
        return image.pixels.empty() ? 0xDEADBEEF : image.pixels[0];
    };
    Check(pixel(L"blue.bmp") == 0xFF0000FF, "BMP decodes to opaque blue");
    std::uint32_t half = pixel(L"half.png");
    Check((half >> 24) >= 127 && (half >> 24) <= 129 && ((half >> 16) & 0xFF) >= 127 && ((half >> 16) & 0xFF) <= 129 &&
              (half & 0xFFFF) == 0,
          "PNG keeps its alpha, premultiplied");
    Check(pixel(L"green.gif") == 0xFF00FF00, "GIF decodes");
    WriteBytes(folder + L"\\red.jpg", std::string(reinterpret_cast<const char*>(red_jpg), red_jpg_len));
    WriteBytes(folder + L"\\green16.ico", std::string(reinterpret_cast<const char*>(green16_ico), green16_ico_len));
    std::uint32_t red = pixel(L"red.jpg");
    auto approx = [](std::uint32_t value, std::uint32_t want) { return value + 6 >= want && value <= want + 6; };
    Check(red >> 24 == 0xFF && approx((red >> 16) & 0xFF, 200) && approx((red >> 8) & 0xFF, 30) && approx(red & 0xFF, 40),
          "JPEG decodes");
    Check(pixel(L"green16.ico") == 0xFF0AC81E, "an icon file decodes as a picture");
    auto fromIco = host.LoadIcon(folder + L"\\green16.ico");
    Check(static_cast<win32::IconPair&>(*fromIco).large != nullptr, "an icon file gives the window icon");

    // A picture decoded keeps no file open: it can be deleted at once.
    host.LoadPicture(folder + L"\\blue.bmp");
    Check(DeleteFileW((folder + L"\\blue.bmp").c_str()) != 0, "no file stays open after decoding");

    for (const wchar_t* bad : {L"text.bmp", L"empty.bmp", L"huge.bmp"}) {
        std::string message = FailureOf([&] { host.LoadPicture(folder + L"\\" + bad); });
        Check(message.find(Narrow(bad)) != std::string::npos, "unreadable " + Narrow(bad) + " is named: " + message);
    }

    // An image that is not an icon still gives the window its icons.
    auto icons = host.LoadIcon(folder + L"\\green.gif");
    auto& pair = static_cast<win32::IconPair&>(*icons);
    Check(pair.large && pair.small, "a GIF becomes large and small icons");
    std::string message = FailureOf([&] { host.LoadIcon(folder + L"\\text.bmp"); });
    Check(message.find("icon") != std::string::npos, "a corrupt icon is named: " + message);
}

// The run-time binding: the system's own function, from the system
// directory, looked up once; a missing one is null, never a wrong address.
const win32::SystemFunction<UINT WINAPI(HWND)> kMadeUpFunction{win32::SystemLibrary::User32, "TrelvoMadeUpFunction"};

void Binding()
{
    Check(kMadeUpFunction.Find() == nullptr && kMadeUpFunction.Find() == nullptr, "a missing function is null");
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    Check(user32 && reinterpret_cast<void*>(win32::GetSysColor.Find()) ==
                        reinterpret_cast<void*>(GetProcAddress(user32, "GetSysColor")),
          "a bound function is the system's own");
    wchar_t system[MAX_PATH];
    UINT length = GetSystemDirectoryW(system, MAX_PATH);
    for (auto library : {win32::SystemLibrary::User32, win32::SystemLibrary::Gdi32, win32::SystemLibrary::Shell32,
                         win32::SystemLibrary::Gdiplus}) {
        HMODULE module = win32::SystemModule(library);
        wchar_t path[MAX_PATH] = L"";
        GetModuleFileNameW(module, path, MAX_PATH);
        Check(module && module == win32::SystemModule(library) && CompareStringOrdinal(path, int(length), system, int(length), TRUE) == CSTR_EQUAL,
              "library " + std::to_string(int(library)) + " comes from the system directory, once: " + Narrow(path));
    }
}

// Preparing the picture in a 32-bit process: sizes beyond the address space
// are out of memory (reported as such), never a container's length fault or
// a size that wraps around; a bitmap the system refuses gives no memory.
void PreparationLimits()
{
    win32::DibSection refused;
    Check(refused.Pixels(60000, 60000) == nullptr && refused.get() == nullptr && refused.Width() == 0,
          "a bitmap of 60000 x 60000 is refused, and nothing is kept of it");
    win32::DibSection small;
    Check(small.Pixels(3, 2) != nullptr && small.Width() == 3 && small.Height() == 2, "a bitmap of 3 x 2 is made");

    const PixelImage onePixel{1, 1, {0xFF102030}};
    const struct {
        const char* name;
        int width, height;
    } sizes[] = {
        {"40000 x 40000 (beyond the address space)", 40000, 40000},
        {"65536 x 65536 (wraps to 0 in 32 bits)", 65536, 65536},
        {"65537 x 65535 (wraps to 1 pixel)", 65537, 65535},
    };
    for (const auto& size : sizes) {
        std::string outcome = "no failure";
        try {
            ResizeImage(onePixel, size.width, size.height);
        } catch (const std::bad_alloc&) {
            outcome = "out of memory";
        } catch (const std::exception& e) {
            outcome = std::string("another failure: ") + e.what();
        }
        Check(outcome == "out of memory", std::string("resizing to ") + size.name + ": " + outcome);
    }
    // A 256-pixel picture at 98304 DPI (1024 times 96) becomes 262144 x 262144:
    // the composite reports no memory before it asks for a bitmap.
    std::string outcome = "no failure";
    win32::DibSection composite;
    try {
        PrepareComposite(PixelImage{256, 256, std::vector<std::uint32_t>(65536, 0xFF000000)}, 0, 98304, composite);
    } catch (const std::bad_alloc&) {
        outcome = "out of memory";
    } catch (const std::exception& e) {
        outcome = std::string("another failure: ") + e.what();
    }
    Check(outcome == "out of memory" && composite.get() == nullptr, "a composite beyond the address space: " + outcome);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 3 && std::wstring(argv[1]) == L"--probe") return Probe(argv[2]);

    win32::Win32Host host(GetModuleHandleW(nullptr));
    ProfileCases(host);
    ProfileInFolderOutsideCodePage(host);
    LowerCase();
    FilesAndFolders(host);
    ProcessStart(host);
    ProgramSearchAgreesWithProcessStart(host);
    Images(host);
    PreparationLimits();
    Binding();
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

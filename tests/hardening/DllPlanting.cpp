// Starts the launcher from media folders holding planted DLLs and checks that
// none of them was loaded. Usage: dll_planting <trelvo.exe> <planted.dll>
// Prints "N passed, N failed".
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int passed = 0, failed = 0;

void Check(bool ok, const std::string& what)
{
    ok ? ++passed : ++failed;
    if (!ok) std::printf("FAILED: %s\n", what.c_str());
}

// Lazily loaded DLLs of the launcher, the image decoders and the themes.
const wchar_t* const kPlanted[] = {L"version", L"uxtheme", L"dwmapi", L"gdiplus", L"windowscodecs",
                                   L"profapi", L"shell32", L"ole32", L"msimg32", L"propsys"};

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }

void WriteText(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(file);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring MediaFolder(const wchar_t* name, const std::wstring& launcher, const std::wstring& planted)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"trelvo-planting-" + std::to_wstring(GetCurrentProcessId()) + L"-" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    CopyFileW(launcher.c_str(), (folder + L"\\setup.exe").c_str(), FALSE);
    for (const wchar_t* dll : kPlanted) {
        std::wstring copy = folder + L"\\" + dll + L".dll";
        DeleteFileW((copy + L".loaded").c_str());  // a mark of an earlier run
        CopyFileW(planted.c_str(), copy.c_str(), FALSE);
    }
    return folder;
}

struct Found {
    DWORD process;
    HWND window = nullptr;
};

BOOL CALLBACK FindSplash(HWND window, LPARAM param)
{
    auto* found = reinterpret_cast<Found*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (process == found->process && IsWindowVisible(window) && std::wstring(name) == L"TrelvoSplash") {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// Runs the launcher in the folder; closes its window if one shows. Returns
// the exit code, or -1 when it did not end.
int Run(const std::wstring& folder, bool expectWindow)
{
    std::wstring line = L"\"" + folder + L"\\setup.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process))
        return -2;
    if (expectWindow) {
        Found found{process.dwProcessId};
        for (int i = 0; i < 400 && !found.window; ++i) {
            Sleep(50);
            EnumWindows(FindSplash, LPARAM(&found));
        }
        Check(found.window != nullptr, "the splash window appeared in " + Narrow(folder));
        if (found.window) PostMessageW(found.window, WM_CLOSE, 0, 0);
    }
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    else TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return int(code);
}

void CheckNothingLoaded(const std::wstring& folder, const char* scenario)
{
    for (const wchar_t* dll : kPlanted)
        Check(!Exists(folder + L"\\" + dll + L".dll.loaded"),
              std::string(scenario) + ": planted " + Narrow(dll) + ".dll was not loaded");
}

// A 2x2 24-bit BMP.
std::string SmallBmp()
{
    std::string b(54 + 16, '\0');
    auto put32 = [&](size_t at, DWORD v) { for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i)); };
    b[0] = 'B', b[1] = 'M';
    put32(2, DWORD(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, 2);
    put32(22, 2);
    b[26] = 1, b[28] = 24;
    return b;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    std::wstring launcher = argv[1], planted = argv[2];

    // The planted DLL does leave its mark when something loads it.
    std::wstring control = MediaFolder(L"control", launcher, planted);
    std::wstring own = control + L"\\plantedcontrol.dll";
    DeleteFileW((own + L".loaded").c_str());
    CopyFileW(planted.c_str(), own.c_str(), FALSE);
    HMODULE loaded = LoadLibraryW(own.c_str());
    Check(loaded && Exists(own + L".loaded"), "control: a loaded planted DLL leaves its mark");
    if (loaded) FreeLibrary(loaded);

    std::wstring dialog = MediaFolder(L"dialog", launcher, planted);
    WriteText(dialog + L"\\setup.ini",
              "[DIALOG]\r\nShow=True\r\nPicture=splash.bmp\r\nIcon=icon.bmp\r\nCaption=Planted\r\n"
              "[BUTTON1]\r\nShow=True\r\nCaption=Exit\r\nAction=exit\r\n");
    WriteText(dialog + L"\\splash.bmp", SmallBmp());
    WriteText(dialog + L"\\icon.bmp", SmallBmp());
    Check(Run(dialog, true) == 0, "dialog mode ends with 0 after closing");
    CheckNothingLoaded(dialog, "dialog mode");

    std::wstring silent = MediaFolder(L"silent", launcher, planted);
    WriteText(silent + L"\\setup.ini", "[DIALOG]\r\nShow=False\r\nDefaultAction=exit\r\n");
    Check(Run(silent, false) == 0, "silent exit ends with 0");
    CheckNothingLoaded(silent, "silent mode");

    std::wstring failing = MediaFolder(L"failing", launcher, planted);
    WriteText(failing + L"\\setup.ini", "[DIALOG]\r\nShow=False\r\nDefaultAction=no-such-program.exe\r\n");
    // The failure's message box would wait for OK: find and dismiss it.
    std::wstring line = L"\"" + failing + L"\\setup.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, failing.c_str(), &startup, &process)) {
        for (int i = 0; i < 400; ++i) {
            HWND box = FindWindowW(L"#32770", L"Trelvo");
            if (box) {
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                break;
            }
            Sleep(50);
        }
        if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CheckNothingLoaded(failing, "failure message");

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

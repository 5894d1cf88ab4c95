// The bare spawner, also importing USER32 and GDI32 as the launcher does: a
// diagnostic that tells how much of the launcher's silent-mode time is the
// loading of the window libraries it does not use there.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // One call into each keeps the imports; neither opens a window.
    if (!GetStockObject(WHITE_BRUSH) || IsWindow(nullptr)) return 2;
    wchar_t commandLine[] = L"child.exe";  // CreateProcessW may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

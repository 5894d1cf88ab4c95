// A DLL that leaves a mark when loaded: "<its own path>.loaded" beside it.
// Copies of it, named like DLLs that the launcher or the system load on
// demand, are planted in a media folder to prove the launcher loads none.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH];
        DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
        std::wstring mark = std::wstring(path, length) + L".loaded";
        HANDLE file = CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return TRUE;
}

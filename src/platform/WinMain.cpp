// Process entry: harden the process, build the window object, run start-up,
// then the window's event loop. Every way out ends the process from inside.
#include <windows.h>

#include <cstdio>
#include <exception>

#include "platform/Win32Host.h"
#include "window/frmSplash.h"

namespace {

// Only the system directory is searched for DLLs: a DLL placed on the medium
// or in the current directory is never loaded into the launcher.
void RestrictDllSearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
}

[[noreturn]] void ReportFault(const wchar_t* text)
{
    MessageBoxW(nullptr, text, L"Trelvo", MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
    ExitProcess(UINT(trelvo::ExitCode::UncheckedFailure));
}

// A crash ends in our message box, never in the system's crash dialog.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info)
{
    wchar_t text[256];
    std::swprintf(text, 256,
                  L"Trelvo stopped because of an internal fault (exception 0x%08lX at address 0x%p).",
                  static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                  info->ExceptionRecord->ExceptionAddress);
    ReportFault(text);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    RestrictDllSearch();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
    std::set_terminate([] { ReportFault(L"Trelvo stopped because of an internal error."); });

    trelvo::win32::Win32Host host(instance);
    trelvo::frmSplash form(host);
    form.Run([&] { form.Form_Initialize(); });

    // Dialog mode: start-up returned with the window dressed.
    if (trelvo::win32::Win32Window* window = host.BuiltWindow()) window->ShowAndRun();
    return int(trelvo::ExitCode::Success);
}

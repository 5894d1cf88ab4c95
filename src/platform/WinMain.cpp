// Process entry: harden the process, build the window object, run start-up,
// then the window's event loop. Every way out ends the process from inside.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <new>

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
    trelvo::win32::MessageBoxW(nullptr, text, L"Trelvo", MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
    ExitProcess(UINT(trelvo::ExitCode::UncheckedFailure));
}

// A crash ends in our message box, never in the system's crash dialog.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info)
{
    // Built without the heap, which may be what failed.
    wchar_t text[] = L"Trelvo stopped because of an internal fault (exception 0x00000000 at address 0x00000000).";
    auto hex = [](wchar_t* at, std::uintptr_t value) {
        for (int i = 7; i >= 0; --i, value >>= 4) at[i] = L"0123456789ABCDEF"[value & 0xF];
    };
    hex(std::wcsstr(text, L"0x") + 2, info->ExceptionRecord->ExceptionCode);
    hex(std::wcsstr(text, L"address 0x") + 10, reinterpret_cast<std::uintptr_t>(info->ExceptionRecord->ExceptionAddress));
    ReportFault(text);
}

}  // namespace

// Replaces the C++ runtime's verbose terminate handler (and the demangler it
// drags in): an exception nobody caught ends in our message box too.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    ReportFault(L"Trelvo stopped because of an internal error.");
}
}  // namespace __gnu_cxx

// The containers' own failure reports. Out of memory stays std::bad_alloc,
// which the window object reports; the others mean a fault in the launcher
// and end it at once. Defining them here keeps the runtime's exception
// classes and their second string implementation out of the executable.
namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_length_error(const char*) { ReportFault(L"Trelvo stopped because of an internal error (length)."); }
void __throw_logic_error(const char*) { ReportFault(L"Trelvo stopped because of an internal error (logic)."); }
void __throw_out_of_range_fmt(const char*, ...) { ReportFault(L"Trelvo stopped because of an internal error (range)."); }
}  // namespace std

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    RestrictDllSearch();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);

    trelvo::win32::Win32Host host(instance);
    trelvo::frmSplash form(host);
    form.Run([&] { form.Form_Initialize(); });

    // Dialog mode: start-up returned with the window dressed.
    if (trelvo::win32::Win32Window* window = host.BuiltWindow()) window->ShowAndRun();
    return int(trelvo::ExitCode::Success);
}

// Process entry: harden the process, build the window object, run start-up,
// then, when start-up says so, the window's event loop. Every way out ends
// the process through the one way out (EndLauncher), with its exit status.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <new>

#include "platform/Win32Host.h"
#include "platform/Win32System.h"
#include "window/frmSplash.h"

namespace {

using trelvo::ExitCode;
using trelvo::win32::EndLauncher;

// Only the system directory is searched for DLLs: a DLL placed on the medium
// or in the current directory is never loaded into the launcher.
void RestrictDllSearch()
{
    auto setDefault = trelvo::win32::SetDefaultDllDirectories.Find();
    if (!setDefault || !setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
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
    EndLauncher(ExitCode::UncheckedFailure, text);
}

}  // namespace

// Replaces the C++ runtime's verbose terminate handler (and the demangler it
// drags in): an exception nobody caught ends in our message box too.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    EndLauncher(ExitCode::UncheckedFailure, L"Trelvo stopped because of an internal error.");
}
}  // namespace __gnu_cxx

// The containers' own failure reports. Out of memory stays std::bad_alloc,
// which the rule for unchecked failures reports; the others mean a fault in
// the launcher and end it at once. Defining them here keeps the runtime's
// exception classes and their second string implementation out of the
// executable.
namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_length_error(const char*) { EndLauncher(ExitCode::UncheckedFailure, L"Trelvo stopped because of an internal error (length)."); }
void __throw_logic_error(const char*) { EndLauncher(ExitCode::UncheckedFailure, L"Trelvo stopped because of an internal error (logic)."); }
void __throw_out_of_range_fmt(const char*, ...) { EndLauncher(ExitCode::UncheckedFailure, L"Trelvo stopped because of an internal error (range)."); }
}  // namespace std

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    RestrictDllSearch();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);

    trelvo::win32::Win32Host host(instance);
    trelvo::frmSplash form(host);
    switch (form.Start()) {
    case trelvo::StartupResult::ShowWindow:
        host.ShowWindowAndRun(form);
        break;
    case trelvo::StartupResult::Ended:
        break;
    }
    // Only an end of the program leaves the event loop; should the system
    // close it all the same, the launcher ends as a closed window does.
    host.EndProgram(ExitCode::Success);
}

// The launcher's ways into and out of the system that every platform file
// shares: system libraries, the system's error texts, and the one way out.
#pragma once

#include <windows.h>

#include <string>

#include "platform/Host.h"
#include "platform/Win32Handles.h"

namespace trelvo::win32 {

// Loads a DLL from the system directory only, never from the medium or the
// current directory.
UniqueLibrary LoadSystemLibrary(const wchar_t* name);

// The system's own words for an error code, without the trailing line break;
// a message that names its subject names `subject`.
std::wstring SystemErrorText(DWORD error, const std::wstring& subject = L"");

// The launcher's one way out. With a message, it is first shown in a box
// with the stop icon, an OK button and the title "Trelvo" (owned by `owner`
// when given); the process then ends with the code's status. Uses no heap,
// so a crash or exhausted memory can come this way too. A second end while
// the first one's box is up (a fault in a message the box dispatches) ends
// at once, without a second box.
[[noreturn]] void EndLauncher(ExitCode code, const wchar_t* message, HWND owner = nullptr);

// True once EndLauncher has been entered: the window then does no more work
// of its own.
bool LauncherEnding();

}  // namespace trelvo::win32

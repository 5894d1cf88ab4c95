// Runs the launcher's start-up over an in-memory host, as the platform would.
#pragma once

#include <string>

#include "support/MemoryHost.h"
#include "window/frmSplash.h"

namespace trelvo::testing {

// Runs an event through the form's failure rule; returns true when the
// program ended (the host then holds the exit code).
template <typename Event>
bool Ends(frmSplash& form, Event&& event)
{
    try {
        form.Run(event);
    } catch (const ProgramEnded&) {
        return true;
    }
    return false;
}

// A host whose current directory holds setup.ini with the given text.
inline MemoryHost HostWithIni(const std::string& ini)
{
    MemoryHost host;
    host.AddFile(L"setup.ini", ini);
    return host;
}

// A dialog-mode INI with a picture that exists, plus extra lines.
inline std::string DialogIni(const std::string& dialogExtra = "", const std::string& rest = "")
{
    return "[DIALOG]\r\nShow=True\r\nPicture=splash.bmp\r\nBackColor=47,31,107\r\n" + dialogExtra + rest;
}

inline MemoryHost DialogHost(const std::string& ini)
{
    MemoryHost host = HostWithIni(ini);
    host.AddFile(L"splash.bmp", "BM");
    return host;
}

}  // namespace trelvo::testing

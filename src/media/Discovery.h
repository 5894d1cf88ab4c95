// Which program on the medium is the launcher: named with --exe; else the
// program that autorun.inf opens; else the only .exe with an INI of its base
// name; else the only .exe. Anything else is a usage error naming the
// candidates.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "media/Medium.h"

namespace trelvo::media {

struct LauncherChoice {
    std::wstring exe;       // file name of the launcher, e.g. "setup.exe"
    std::wstring baseName;  // without its extension: the INI is <baseName>.ini
    std::wstring how;       // how it was chosen, in plain words
    // What autorun.inf says, when it names a program in open=.
    std::optional<std::wstring> autorunOpen;
    std::optional<int> autorunLine;
};

struct Discovery {
    std::optional<LauncherChoice> choice;
    std::wstring usageError;  // set when no launcher could be chosen
};

// The file name without its last extension ("Disc Setup.v2.exe" gives
// "Disc Setup.v2"): the name the launcher gives its INI.
std::wstring BaseName(std::wstring_view fileName);

Discovery FindLauncher(const Medium& medium, const std::optional<std::wstring>& exeOption);

}  // namespace trelvo::media

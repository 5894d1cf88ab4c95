// Command lines: splitting one into the program and its parameters, and
// finding the program the way the system's process start finds it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Host.h"

namespace trelvo {

struct CommandParts {
    std::wstring program;
    std::wstring parameters;
};

// The first token by the process start's rule, without looking at any file:
// a quoted program runs to its closing quote, an unquoted one to the first
// blank or tab.
CommandParts SplitCommandLine(std::wstring_view commandLine);

// The program file that the system's process start picks for a command line
// (with no separate program name), and the rest of the line after it:
//   - a quoted program is the text up to the closing quote; an unquoted one
//     is each blank-delimited prefix in turn, the first that names a file;
//   - ".exe" is added to a name without an extension;
//   - a name with a drive, a leading separator, or a leading "." or ".."
//     is taken as written (then with ".exe"); any other name is looked for
//     in the launcher's folder, the current directory, the 32-bit system
//     folder, the 16-bit system folder, the Windows folder, then each
//     folder on PATH;
//   - a folder is never a program.
// Nothing when no file is found. The program comes back as an absolute path.
std::optional<CommandParts> FindProgram(Host& host, std::wstring_view commandLine);

// "name:" with a name of two or more characters (a letter, then letters,
// digits, '+', '-' or '.'), in lower case as actions are: a URL scheme,
// never a drive letter. The shell opens such an action when the process
// start cannot.
bool StartsWithUrlScheme(std::wstring_view text);

}  // namespace trelvo

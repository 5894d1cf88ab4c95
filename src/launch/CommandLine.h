// Splitting a command line into the program and its parameters, by the rule
// the system's process start uses for the first token: a quoted program runs
// to its closing quote, an unquoted one to the first blank or tab.
#pragma once

#include <string>
#include <string_view>

namespace trelvo {

struct CommandParts {
    std::wstring program;
    std::wstring parameters;
};

CommandParts SplitCommandLine(std::wstring_view commandLine);

}  // namespace trelvo

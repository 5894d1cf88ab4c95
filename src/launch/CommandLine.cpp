#include "launch/CommandLine.h"

namespace trelvo {

CommandParts SplitCommandLine(std::wstring_view line)
{
    auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);

    CommandParts parts;
    size_t end;
    if (!line.empty() && line.front() == L'"') {
        size_t close = line.find(L'"', 1);
        end = close == std::wstring_view::npos ? line.size() : close + 1;
        parts.program = line.substr(1, (close == std::wstring_view::npos ? line.size() : close) - 1);
    } else {
        end = 0;
        while (end < line.size() && !isBlank(line[end])) ++end;
        parts.program = line.substr(0, end);
    }
    line.remove_prefix(end);
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
    parts.parameters = line;
    return parts;
}

}  // namespace trelvo

#include "launch/CommandLine.h"

#include <vector>

namespace trelvo {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring_view TrimLeadingBlanks(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

bool HasExtension(std::wstring_view name)
{
    size_t dot = name.rfind(L'.');
    size_t separator = name.find_last_of(L"\\/");
    return dot != std::wstring_view::npos && (separator == std::wstring_view::npos || dot > separator);
}

// A name the search folders do not apply to: "d:...", "\...", "/...", and
// names that start with the segment "." or "..".
bool NamesItsOwnFolder(std::wstring_view name)
{
    if (name.size() >= 2 && name[1] == L':') return true;
    if (!name.empty() && IsSeparator(name[0])) return true;
    if (name.empty() || name[0] != L'.') return false;
    if (name.size() == 1 || IsSeparator(name[1])) return true;
    return name[1] == L'.' && (name.size() == 2 || IsSeparator(name[2]));
}

std::wstring InFolder(const std::wstring& folder, const std::wstring& name)
{
    if (folder.empty() || IsSeparator(folder.back())) return folder + name;
    return folder + L'\\' + name;
}

// The path found, made absolute against the current directory.
std::wstring Absolute(const std::wstring& path, const std::wstring& currentDirectory)
{
    if (path.size() >= 2 && path[1] == L':') return path;
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return path;  // \\server\share
    if (!path.empty() && IsSeparator(path[0])) return currentDirectory.substr(0, 2) + path;
    return InFolder(currentDirectory, path);
}

class ProgramSearch {
public:
    explicit ProgramSearch(Host& host)
        : host_(host), folders_(host.FoldersSearchedForPrograms()), current_(host.CurrentDirectory())
    {
    }

    std::optional<std::wstring> Find(const std::wstring& name)
    {
        if (name.empty()) return std::nullopt;
        const std::wstring withExe = HasExtension(name) ? name : name + L".exe";
        if (NamesItsOwnFolder(name)) {
            for (const std::wstring& candidate : {name, withExe})
                if (host_.FileExists(candidate)) return Absolute(candidate, current_);
            return std::nullopt;
        }
        for (const std::wstring& folder : SearchFolders(name)) {
            std::wstring candidate = InFolder(folder, withExe);
            if (host_.FileExists(candidate)) return Absolute(candidate, current_);
        }
        return std::nullopt;
    }

private:
    std::vector<std::wstring> SearchFolders(const std::wstring& name) const
    {
        std::vector<std::wstring> list{folders_.launcherFolder};
        if (folders_.currentDirectory || name.find(L'\\') != std::wstring::npos) list.push_back(current_);
        list.push_back(folders_.systemFolder);
        list.push_back(InFolder(folders_.windowsFolder, L"System"));
        list.push_back(folders_.windowsFolder);
        std::wstring_view path = folders_.path;
        while (!path.empty()) {
            size_t end = path.find(L';');
            std::wstring_view entry = path.substr(0, end);
            if (!entry.empty()) list.emplace_back(entry);
            path.remove_prefix(end == std::wstring_view::npos ? path.size() : end + 1);
        }
        std::erase_if(list, [](const std::wstring& folder) { return folder.empty(); });
        return list;
    }

    Host& host_;
    ProgramSearchFolders folders_;
    std::wstring current_;
};

}  // namespace

CommandParts SplitCommandLine(std::wstring_view line)
{
    line = TrimLeadingBlanks(line);
    CommandParts parts;
    size_t end;
    if (!line.empty() && line.front() == L'"') {
        size_t close = line.find(L'"', 1);
        end = close == std::wstring_view::npos ? line.size() : close + 1;
        parts.program = line.substr(1, (close == std::wstring_view::npos ? line.size() : close) - 1);
    } else {
        end = 0;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        parts.program = line.substr(0, end);
    }
    parts.parameters = TrimLeadingBlanks(line.substr(end));
    return parts;
}

std::optional<CommandParts> FindProgram(Host& host, std::wstring_view line)
{
    line = TrimLeadingBlanks(line);
    ProgramSearch search(host);
    if (!line.empty() && line.front() == L'"') {
        CommandParts quoted = SplitCommandLine(line);
        std::optional<std::wstring> found = search.Find(quoted.program);
        if (!found) return std::nullopt;
        return CommandParts{*found, quoted.parameters};
    }
    for (size_t end = 0; end <= line.size(); ++end) {
        if (end < line.size() && !IsBlank(line[end])) continue;
        if (std::optional<std::wstring> found = search.Find(std::wstring(line.substr(0, end))))
            return CommandParts{*found, std::wstring(TrimLeadingBlanks(line.substr(end)))};
    }
    return std::nullopt;
}

bool StartsWithUrlScheme(std::wstring_view text)
{
    size_t colon = text.find(L':');
    if (colon == std::wstring_view::npos || colon < 2 || text[0] < L'a' || text[0] > L'z') return false;
    for (size_t i = 1; i < colon; ++i) {
        wchar_t c = text[i];
        if (!((c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.'))
            return false;
    }
    return true;
}

}  // namespace trelvo

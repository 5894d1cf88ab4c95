#include "media/Medium.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <system_error>

#include "config/TextConversions.h"
#include "config/Utf8.h"

namespace trelvo::media {
namespace fs = std::filesystem;

std::wstring TextFromPath(const fs::path& path)
{
#ifdef _WIN32
    return path.wstring();
#else
    return FromUtf8(path.string());
#endif
}

fs::path PathFromText(std::wstring_view text)
{
#ifdef _WIN32
    return fs::path(std::wstring(text));
#else
    return fs::path(ToUtf8(text));
#endif
}

bool IsAbsoluteWindowsPath(std::wstring_view path)
{
    return (path.size() >= 2 && path[1] == L':') || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
}

namespace {

// The entry of `folder` named `name` in any letter case; the exact spelling
// wins over other spellings.
std::optional<fs::path> Entry(const fs::path& folder, std::wstring_view name)
{
    std::optional<fs::path> found;
    std::wstring wanted = ToLowerCase(name);
    for (const std::wstring& candidate : files::Names(folder)) {
        if (candidate == name) return folder / PathFromText(candidate);
        if (!found && ToLowerCase(candidate) == wanted) found = folder / PathFromText(candidate);
    }
    return found;
}

}  // namespace

Medium::Medium(fs::path root) : root_(std::move(root))
{
    canonicalRoot_ = files::Real(root_);
}

MediumEntry Medium::Find(std::wstring_view relative) const
{
    MediumEntry entry;
    if (IsAbsoluteWindowsPath(relative)) {
        entry.outOfReach = L"it is an absolute path, outside the medium";
        entry.namedOutside = true;
        return entry;
    }
    fs::path at = root_;
    std::vector<std::wstring> spelled;
    for (std::wstring_view rest = relative; !rest.empty();) {
        size_t cut = rest.find_first_of(L"\\/");
        std::wstring_view part = rest.substr(0, cut);
        rest = cut == std::wstring_view::npos ? std::wstring_view{} : rest.substr(cut + 1);
        if (part.empty() || part == L".") continue;
        if (part == L"..") {
            if (spelled.empty()) {
                entry.outOfReach = L"it leads out of the medium";
                entry.namedOutside = true;
                return entry;
            }
            spelled.pop_back();
            at = at.parent_path();
            continue;
        }
        std::optional<fs::path> next = Entry(at, part);
        if (!next) {
            spelled.emplace_back(part);
            at /= PathFromText(part);
            entry.path = at;
            for (std::wstring_view more = rest; !more.empty();) {
                size_t c = more.find_first_of(L"\\/");
                if (!more.substr(0, c).empty()) spelled.emplace_back(more.substr(0, c));
                more = c == std::wstring_view::npos ? std::wstring_view{} : more.substr(c + 1);
            }
            for (size_t i = 0; i < spelled.size(); ++i) entry.name += (i ? L"\\" : L"") + spelled[i];
            return entry;  // nothing there
        }
        at = *next;
        spelled.push_back(TextFromPath(at.filename()));
    }
    entry.path = at;
    for (size_t i = 0; i < spelled.size(); ++i) entry.name += (i ? L"\\" : L"") + spelled[i];
    // A link may point anywhere: only what stays inside the medium is read.
    fs::path real = files::Real(at);
    auto [rootEnd, realAt] = std::mismatch(canonicalRoot_.begin(), canonicalRoot_.end(), real.begin(), real.end());
    if (real.empty() || canonicalRoot_.empty() || rootEnd != canonicalRoot_.end()) {
        entry.outOfReach = L"it is a link that leads out of the medium";
        return entry;
    }
    entry.kind = files::KindOf(at);
    return entry;
}

std::vector<std::wstring> Medium::TopFileNames() const
{
    std::vector<std::wstring> names;
    for (const std::wstring& name : files::Names(root_))
        if (files::KindOf(root_ / PathFromText(name)) == EntryKind::File) names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
}

FileBytes Medium::Read(const MediumEntry& entry, std::uintmax_t limit) const
{
    if (entry.kind != EntryKind::File) {
        FileBytes result;
        result.error = entry.kind == EntryKind::Folder ? L"it is a folder" : L"it is not a file";
        return result;
    }
    return files::Read(entry.path, limit);
}

}  // namespace trelvo::media

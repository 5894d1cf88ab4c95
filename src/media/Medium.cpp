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

EntryKind KindOf(const fs::path& path)
{
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) return EntryKind::None;
    if (fs::is_regular_file(status)) return EntryKind::File;
    if (fs::is_directory(status)) return EntryKind::Folder;
    return EntryKind::Other;
}

// The entry of `folder` named `name` in any letter case; the exact spelling
// wins over other spellings.
std::optional<fs::path> Entry(const fs::path& folder, std::wstring_view name)
{
    std::error_code error;
    std::optional<fs::path> found;
    std::wstring wanted = ToLowerCase(name);
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::wstring candidate = TextFromPath(it->path().filename());
        if (candidate == name) return it->path();
        if (!found && ToLowerCase(candidate) == wanted) found = it->path();
    }
    return found;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

Medium::Medium(fs::path root) : root_(std::move(root))
{
    std::error_code error;
    canonicalRoot_ = fs::weakly_canonical(fs::absolute(root_, error), error);
}

MediumEntry Medium::Find(std::wstring_view relative) const
{
    MediumEntry entry;
    if (IsAbsoluteWindowsPath(relative)) {
        entry.outOfReach = L"it is an absolute path, outside the medium";
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
    std::error_code error;
    fs::path real = fs::weakly_canonical(at, error);
    auto [rootEnd, realAt] = std::mismatch(canonicalRoot_.begin(), canonicalRoot_.end(), real.begin(), real.end());
    if (error || rootEnd != canonicalRoot_.end()) {
        entry.outOfReach = L"it is a link that leads out of the medium";
        return entry;
    }
    entry.kind = KindOf(at);
    return entry;
}

std::vector<std::wstring> Medium::TopFileNames() const
{
    std::vector<std::wstring> names;
    std::error_code error;
    for (fs::directory_iterator it(root_, error), end; !error && it != end; it.increment(error))
        if (KindOf(it->path()) == EntryKind::File) names.push_back(TextFromPath(it->path().filename()));
    std::sort(names.begin(), names.end());
    return names;
}

FileBytes Medium::Read(const MediumEntry& entry, std::uintmax_t limit) const
{
    FileBytes result;
    if (entry.kind != EntryKind::File) {
        result.error = entry.kind == EntryKind::Folder ? L"it is a folder" : L"it is not a file";
        return result;
    }
#ifdef _WIN32
    std::unique_ptr<std::FILE, FileCloser> file(_wfopen(entry.path.c_str(), L"rb"));
#else
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(entry.path.c_str(), "rb"));
#endif
    if (!file) {
        result.error = L"it cannot be opened for reading";
        return result;
    }
    std::error_code error;
    result.size = fs::file_size(entry.path, error);
    result.bytes.resize(size_t(std::min<std::uintmax_t>(limit, error ? limit : result.size)));
    size_t got = std::fread(result.bytes.data(), 1, result.bytes.size(), file.get());
    if (got < result.bytes.size() && std::ferror(file.get())) {
        result.error = L"reading it failed";
        return result;
    }
    result.bytes.resize(got);
    result.read = true;
    return result;
}

}  // namespace trelvo::media

// The checker's file system natively: std::filesystem and stdio.
#include <cstdio>
#include <memory>
#include <system_error>

#include "media/Medium.h"

namespace trelvo::media::files {
namespace fs = std::filesystem;

EntryKind KindOf(const fs::path& path)
{
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) return EntryKind::None;
    if (fs::is_regular_file(status)) return EntryKind::File;
    if (fs::is_directory(status)) return EntryKind::Folder;
    return EntryKind::Other;
}

std::vector<std::wstring> Names(const fs::path& folder)
{
    std::vector<std::wstring> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        names.push_back(TextFromPath(it->path().filename()));
    return names;
}

FileBytes Read(const fs::path& path, std::uintmax_t limit)
{
    FileBytes result;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        result.error = L"it cannot be opened for reading";
        return result;
    }
    std::error_code error;
    result.size = fs::file_size(path, error);
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

fs::path Real(const fs::path& path)
{
    std::error_code error;
    fs::path real = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? fs::path() : real;
}

}  // namespace trelvo::media::files

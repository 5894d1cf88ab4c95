// The medium checker's file system on Windows: the system's wide calls on
// "\\?\" paths, so that files deeper than MAX_PATH are reached, as the
// launcher reaches them.
#include <windows.h>

#include <vector>

#include "media/Medium.h"
#include "platform/Win32Handles.h"

namespace trelvo::media::files {
namespace fs = std::filesystem;
using win32::UniqueHandle;

namespace {

// The absolute path with the prefix that lifts the MAX_PATH limit.
std::wstring LongPath(const fs::path& path)
{
    std::wstring text = path.wstring();
    if (text.rfind(L"\\\\?\\", 0) == 0) return text;
    DWORD length = GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
    if (length == 0) return text;
    std::vector<wchar_t> full(length + 1);
    length = GetFullPathNameW(text.c_str(), DWORD(full.size()), full.data(), nullptr);
    std::wstring absolute(full.data(), length);
    if (absolute.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + absolute.substr(2);
    return L"\\\\?\\" + absolute;
}

UniqueHandle Open(const std::wstring& path, DWORD flags)
{
    return UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, flags, nullptr));
}

}  // namespace

EntryKind KindOf(const fs::path& path)
{
    DWORD attributes = GetFileAttributesW(LongPath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::None;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::Other;
    return EntryKind::File;
}

std::vector<std::wstring> Names(const fs::path& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((LongPath(folder) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

FileBytes Read(const fs::path& path, std::uintmax_t limit)
{
    FileBytes result;
    UniqueHandle file = Open(LongPath(path), FILE_ATTRIBUTE_NORMAL);
    if (file.get() == INVALID_HANDLE_VALUE) {
        result.error = L"it cannot be opened for reading";
        return result;
    }
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size)) result.size = std::uintmax_t(size.QuadPart);
    result.bytes.resize(size_t(std::min<std::uintmax_t>(limit, result.size)));
    size_t got = 0;
    while (got < result.bytes.size()) {
        DWORD read = 0;
        DWORD piece = DWORD(std::min<size_t>(result.bytes.size() - got, 1 << 20));
        if (!ReadFile(file.get(), result.bytes.data() + got, piece, &read, nullptr)) {
            result.error = L"reading it failed";
            return result;
        }
        if (read == 0) break;
        got += read;
    }
    result.bytes.resize(got);
    result.read = true;
    return result;
}

fs::path Real(const fs::path& path)
{
    // Links and junctions followed: the path of what is finally opened.
    UniqueHandle handle = Open(LongPath(path), FILE_FLAG_BACKUP_SEMANTICS);
    if (handle.get() == INVALID_HANDLE_VALUE) return LongPath(path);  // not there: as named
    DWORD length = GetFinalPathNameByHandleW(handle.get(), nullptr, 0, 0);
    if (length == 0) return LongPath(path);
    std::vector<wchar_t> final(length + 1);
    length = GetFinalPathNameByHandleW(handle.get(), final.data(), DWORD(final.size()), 0);
    return fs::path(std::wstring(final.data(), length));
}

}  // namespace trelvo::media::files

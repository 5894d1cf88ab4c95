// The medium as the checker sees it: a folder on this machine whose files
// are found the way Windows finds them on a disc (names in any letter case,
// '\' or '/' between folders). Nothing outside the folder is read: a name
// that climbs out of it, an absolute path or a link that leads elsewhere is
// reported as out of reach.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trelvo::media {

enum class EntryKind { None, File, Folder, Other };

struct MediumEntry {
    EntryKind kind = EntryKind::None;
    std::filesystem::path path;  // on this machine
    std::wstring name;           // relative to the medium, as spelled on it, '\' between folders
    std::wstring outOfReach;     // why it cannot be looked at (empty when it can)
    bool namedOutside = false;   // the path itself leads out (absolute, or "..")
};

struct FileBytes {
    bool read = false;
    std::string bytes;       // at most the limit asked for
    std::uintmax_t size = 0; // the whole file's size
    std::wstring error;      // why it could not be read
};

// The file system as the checker uses it: the native build's is
// std::filesystem and stdio (media/MediumFiles.cpp); the Windows build's is
// the system's wide calls, which reach paths longer than MAX_PATH
// (platform/Win32MediumFiles.cpp).
namespace files {
EntryKind KindOf(const std::filesystem::path& path);
// Names of the folder's entries ("." and ".." left out).
std::vector<std::wstring> Names(const std::filesystem::path& folder);
// At most `limit` bytes of the file, and its whole size.
FileBytes Read(const std::filesystem::path& path, std::uintmax_t limit);
// The path with its links followed and made absolute; empty when it cannot be told.
std::filesystem::path Real(const std::filesystem::path& path);
}  // namespace files

// Text of a path for messages, and a path from text.
std::wstring TextFromPath(const std::filesystem::path& path);
std::filesystem::path PathFromText(std::wstring_view text);

class Medium {
public:
    explicit Medium(std::filesystem::path root);
    const std::filesystem::path& Root() const { return root_; }

    // A path relative to the medium (or absolute: then out of reach).
    MediumEntry Find(std::wstring_view relative) const;
    // Names of the files in the medium's top folder, sorted.
    std::vector<std::wstring> TopFileNames() const;
    FileBytes Read(const MediumEntry& entry, std::uintmax_t limit) const;

private:
    std::filesystem::path root_;
    std::filesystem::path canonicalRoot_;
};

// True for a path with a drive ("C:..."), a UNC or root-relative path.
bool IsAbsoluteWindowsPath(std::wstring_view path);

}  // namespace trelvo::media

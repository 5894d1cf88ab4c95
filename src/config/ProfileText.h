// A profile (INI) file reader and writer over the file's bytes, with the
// rules the launcher relies on from the system's profile routines. The
// Windows build uses the system's own routines; this one serves the in-memory
// host, so the same logic can be tested anywhere.
//
// Rules: section and key names match in any letter case; the first matching
// section and the first matching key in it win; blanks (space, tab) around
// key names and values are dropped; a value enclosed in one pair of single or
// double quotes loses them; blanks inside a section's brackets are dropped;
// lines end with CR LF, LF or CR; lines starting
// with ';' are comments; a section line needs its closing ']'. Text is in the
// system code page (config/CodePage.h), or UTF-8 / UTF-16 after a byte-order
// mark. One scan of the file serves every read, the writer and the medium
// checker.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/CodePage.h"

namespace trelvo {

enum class ProfileEncoding {
    CodePage,  // the system code page
    Utf8Marked,  // UTF-8 after its byte-order mark
    Utf16Le,   // UTF-16 after its byte-order mark
    Utf16Be,
};

struct ProfileKey {
    std::wstring name;   // blanks around it dropped
    std::wstring value;  // blanks around it dropped; quotes kept
    int line = 0;        // 1-based
    bool hasEquals = true;
};

struct ProfileSection {
    std::wstring name;
    int line = 0;  // of its "[name]" line
    int end = 0;   // its last line (comments and blank lines included)
    std::vector<ProfileKey> keys;
};

// The file as the reader sees it: each section in file order with its keys.
struct ProfileScan {
    ProfileEncoding encoding = ProfileEncoding::CodePage;
    int lineCount = 0;
    std::vector<ProfileSection> sections;
    std::vector<ProfileKey> outside;  // key lines before the first section
};

ProfileScan ScanProfile(std::string_view bytes, unsigned codePage = kDefaultCodePage);

// The first section of that name (any letter case), and its first key of
// that name: the ones every read finds.
const ProfileSection* FindProfileSection(const ProfileScan& scan, std::wstring_view section);
const ProfileKey* FindProfileKey(const ProfileScan& scan, std::wstring_view section, std::wstring_view key);
bool SameProfileName(std::wstring_view a, std::wstring_view b);

// A value without its one pair of enclosing quotes (single or double).
std::wstring_view UnquoteProfileValue(std::wstring_view value);

// Like GetPrivateProfileStringW: copies at most size-1 characters of the
// value (or of the fallback when absent) and a terminating NUL; returns the
// number of characters copied.
std::uint32_t ReadProfileText(const ProfileScan& scan, std::wstring_view section, std::wstring_view key,
                              std::wstring_view fallback, wchar_t* buffer, std::uint32_t size);
std::uint32_t ReadProfileText(std::string_view bytes, std::wstring_view section,
                              std::wstring_view key, std::wstring_view fallback,
                              wchar_t* buffer, std::uint32_t size, unsigned codePage = kDefaultCodePage);

// Returns the bytes with the key set to the value, adding the key or the
// section when absent. The file keeps its encoding (the code page, or UTF-8 /
// UTF-16 with their byte-order mark).
std::string WriteProfileText(std::string_view bytes, std::wstring_view section,
                             std::wstring_view key, std::wstring_view value,
                             unsigned codePage = kDefaultCodePage);

}  // namespace trelvo

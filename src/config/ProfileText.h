// A profile (INI) file reader and writer over the file's bytes, with the
// rules the launcher relies on from the system's profile routines (the shared
// profile table in tests/ProfileCases.h holds both to them). The Windows
// build reads UTF-8 files with it and leaves every other file to the system's
// routine; the in-memory host reads every file with it.
//
// Rules: section and key names match in any letter case; the first matching
// section and the first matching key in it win; blanks (space, tab) around
// key names and values are dropped; a value enclosed in one pair of single or
// double quotes loses them; blanks inside a section's brackets are dropped;
// lines end with CR LF, LF or CR; lines starting
// with ';' are comments; a section line needs its closing ']'. The text's
// encoding is ProfileFileEncoding's; text in the system code page goes
// through config/CodePage.h. One scan of the file (ScanProfile) serves
// every read, the writer and the medium checker.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/CodePage.h"

namespace trelvo {

// How a configuration file's bytes are read, the one rule for every build:
// - UTF-16 after its byte-order mark (FF FE or FE FF);
// - UTF-8 after its byte-order mark (EF BB BF), or without one when the file
//   holds bytes outside ASCII and is well-formed UTF-8 throughout;
// - any other file in the system's 8-bit code page (in this reader the
//   code page it is given, Windows-1252 unless told).
// The Windows build reads the two UTF-8 kinds with ReadProfileText and
// leaves the others to the system's own profile routine, as before.
enum class ProfileEncoding { CodePage, Utf8, Utf8Marked, Utf16Le, Utf16Be };
ProfileEncoding ProfileFileEncoding(std::string_view bytes);

constexpr bool IsUtf8(ProfileEncoding encoding)
{
    return encoding == ProfileEncoding::Utf8 || encoding == ProfileEncoding::Utf8Marked;
}

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
// section when absent. The file keeps its encoding and its byte-order mark,
// if any.
std::string WriteProfileText(std::string_view bytes, std::wstring_view section,
                             std::wstring_view key, std::wstring_view value,
                             unsigned codePage = kDefaultCodePage);

}  // namespace trelvo

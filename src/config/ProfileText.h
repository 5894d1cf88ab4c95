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
// with ';' are comments; a section line needs its closing ']'. Text is the
// Windows-1252 code page, or UTF-8 / UTF-16 after a byte-order mark.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trelvo {

// Like GetPrivateProfileStringW: copies at most size-1 characters of the
// value (or of the fallback when absent) and a terminating NUL; returns the
// number of characters copied.
std::uint32_t ReadProfileText(std::string_view bytes, std::wstring_view section,
                              std::wstring_view key, std::wstring_view fallback,
                              wchar_t* buffer, std::uint32_t size);

// Returns the bytes with the key set to the value, adding the key or the
// section when absent. The file keeps its encoding (Windows-1252, or UTF-8 /
// UTF-16 with their byte-order mark).
std::string WriteProfileText(std::string_view bytes, std::wstring_view section,
                             std::wstring_view key, std::wstring_view value);

}  // namespace trelvo

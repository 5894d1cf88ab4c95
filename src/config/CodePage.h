// Text in a system code page (the "ANSI" code page of a Windows machine) to
// and from the program's wide text. One seam, two implementations: the
// system's own conversion on Windows (platform/Win32CodePage.cpp) and glibc's
// iconv natively (config/CodePageIconv.cpp). A byte the code page does not
// define passes through as the character of the same number, as Windows
// does for the undefined bytes of Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace trelvo {

// The code page the launcher's users most often have, and the default
// wherever a code page is not given.
constexpr unsigned kDefaultCodePage = 1252;

bool CodePageAvailable(unsigned codePage);
std::wstring DecodeCodePage(std::string_view bytes, unsigned codePage);
// A character the code page cannot hold becomes '?'.
std::string EncodeCodePage(std::wstring_view text, unsigned codePage);

}  // namespace trelvo

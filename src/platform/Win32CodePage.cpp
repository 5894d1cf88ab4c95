// The code-page seam on Windows: the system's own conversion.
#include <windows.h>

#include "config/CodePage.h"

namespace trelvo {

bool CodePageAvailable(unsigned codePage)
{
    return IsValidCodePage(codePage) != 0;
}

std::wstring DecodeCodePage(std::string_view bytes, unsigned codePage)
{
    if (bytes.empty()) return {};
    int length = MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring text(size_t(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), text.data(), length);
    return text;
}

std::string EncodeCodePage(std::wstring_view text, unsigned codePage)
{
    if (text.empty()) return {};
    int length = WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(codePage, 0, text.data(), int(text.size()), bytes.data(), length, nullptr, nullptr);
    return bytes;
}

}  // namespace trelvo

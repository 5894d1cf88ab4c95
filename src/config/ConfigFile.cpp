// Reading and writing keys of the configuration file.
#include <algorithm>

#include "config/TextConversions.h"
#include "window/frmSplash.h"

namespace trelvo {

std::wstring frmSplash::ReadIniValue(const std::wstring& file, const std::wstring& section,
                                     const std::wstring& key, const std::wstring& fallback)
{
    // A work buffer of 256 characters offered to the reader as 255: values
    // longer than 254 characters are cut to 254.
    constexpr std::uint32_t kBufferChars = 256;
    wchar_t buffer[kBufferChars];
    std::fill(std::begin(buffer), std::end(buffer), L' ');
    std::uint32_t copied = host_.ReadProfileString(section, key, fallback, buffer, kBufferChars - 1, file);
    auto count = static_cast<std::int16_t>(std::min<std::uint32_t>(copied, kBufferChars - 1));
    if (count < 1) return L"False";
    return std::wstring(buffer, size_t(count));
}

void frmSplash::WriteIniValue(const std::wstring& file, const std::wstring& section,
                              const std::wstring& key, const std::wstring& value)
{
    // A profile value is one line: each line break character becomes a blank.
    std::wstring oneLine = value;
    std::replace_if(oneLine.begin(), oneLine.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
    host_.WriteProfileString(section, key, oneLine, file);
}

bool frmSplash::ReadIniBoolean(const std::wstring& section, const std::wstring& key)
{
    std::wstring text = ReadIniValue(IniFile_, section, key, L"");
    if (std::optional<bool> value = ParseBooleanText(text)) return *value;
    throw UncheckedFailure(L"The key \"" + key + L"\" in section [" + section + L"] of " + IniFile_ +
                           L" holds \"" + text + L"\", which is not a boolean.\n\n"
                           L"Use True, False or a number (0 is false).");
}

}  // namespace trelvo

// The program's one set of text conversions: boolean text, numbers,
// hexadecimal digits, lower case and splitting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvo {

// The text without the blanks (spaces, tabs) around it.
std::wstring_view TrimBlanks(std::wstring_view text);

// True or False in any letter case, or a whole decimal number with an
// optional sign (0 is false, any other number true). Blanks around the text
// are ignored. Anything else has no value.
std::optional<bool> ParseBooleanText(std::wstring_view text);

// A 32-bit number: "&H" (or "&h") and one to eight hexadecimal digits, read
// as the bit pattern; or a decimal number with an optional sign and an
// optional fraction, rounded to the nearest whole number (halves away from
// zero) and within the signed 32-bit range; or True (-1) / False (0) in any
// letter case. Blanks around the text are ignored.
std::optional<std::int32_t> ParseNumber(std::wstring_view text);

// Upper-case hexadecimal digits without leading zeros ("0" for zero);
// negative numbers give their 32-bit pattern.
std::wstring ToHexDigits(std::int32_t value);

// Decimal digits with a minus sign when negative. The program's own, so the
// executable carries no printf machinery.
std::wstring ToDecimalDigits(std::int64_t value);

// Lower case of the whole text (UTF-16, surrogate pairs included), the
// system's invariant-locale mapping: one letter for one letter, so the length
// is kept; what has no lower case is kept. The Windows build asks the system
// (platform/Win32LowerCase.cpp), so the launcher carries no table; the native
// build uses ToLowerCaseByTable.
std::wstring ToLowerCase(std::wstring_view text);

// The same mapping from the table generated from the Unicode character data
// (config/LowerCaseRuns.inc, by tools/make-lowercase-table.py): a letter
// takes its simple lower case when that letter's upper case leads back to it.
std::wstring ToLowerCaseByTable(std::wstring_view text);

// Split at every separator, no limit: "a,,b" gives "a", "", "b".
std::vector<std::wstring> SplitText(std::wstring_view text, wchar_t separator);

}  // namespace trelvo

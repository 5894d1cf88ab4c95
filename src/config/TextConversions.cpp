#include "config/TextConversions.h"

#include <cstdint>

namespace trelvo {
namespace {

wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }

bool EqualsIgnoringCase(std::wstring_view text, std::wstring_view word)
{
    if (text.size() != word.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (LowerAscii(text[i]) != LowerAscii(word[i])) return false;
    return true;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

int HexValue(wchar_t c)
{
    if (IsDigit(c)) return c - L'0';
    c = LowerAscii(c);
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

}  // namespace

std::wstring_view TrimBlanks(std::wstring_view text)
{
    auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<bool> ParseBooleanText(std::wstring_view text)
{
    text = TrimBlanks(text);
    if (EqualsIgnoringCase(text, L"true")) return true;
    if (EqualsIgnoringCase(text, L"false")) return false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    bool nonZero = false;
    for (wchar_t c : text) {
        if (!IsDigit(c)) return std::nullopt;
        nonZero = nonZero || c != L'0';
    }
    return nonZero;
}

std::optional<std::int32_t> ParseNumber(std::wstring_view text)
{
    text = TrimBlanks(text);
    if (EqualsIgnoringCase(text, L"true")) return -1;
    if (EqualsIgnoringCase(text, L"false")) return 0;

    if (text.size() >= 2 && text[0] == L'&' && LowerAscii(text[1]) == L'h') {
        std::wstring_view digits = text.substr(2);
        if (digits.empty()) return std::nullopt;
        while (digits.size() > 1 && digits.front() == L'0') digits.remove_prefix(1);
        if (digits.size() > 8) return std::nullopt;
        std::uint32_t value = 0;
        for (wchar_t c : digits) {
            int v = HexValue(c);
            if (v < 0) return std::nullopt;
            value = value * 16 + std::uint32_t(v);
        }
        return static_cast<std::int32_t>(value);
    }

    bool negative = false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    // Whole part, then an optional fraction; at least one digit in all. The
    // first digit of the fraction alone decides the rounding (halves away
    // from zero), so no floating point is involved.
    std::uint64_t whole = 0;
    size_t i = 0, digits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
        whole = whole * 10 + std::uint64_t(text[i] - L'0');
        if (whole > 0xFFFFFFFFull) return std::nullopt;
    }
    if (i < text.size() && text[i] == L'.') {
        ++i;
        if (i < text.size() && IsDigit(text[i]) && text[i] >= L'5') ++whole;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
        }
    }
    if (digits == 0 || i != text.size()) return std::nullopt;
    std::int64_t value = negative ? -std::int64_t(whole) : std::int64_t(whole);
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::wstring ToHexDigits(std::int32_t value)
{
    auto bits = static_cast<std::uint32_t>(value);
    std::wstring digits;
    do {
        digits.insert(digits.begin(), L"0123456789ABCDEF"[bits % 16]);
        bits /= 16;
    } while (bits != 0);
    return digits;
}

std::wstring ToDecimalDigits(std::int64_t value)
{
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::wstring digits;
    do {
        digits.insert(digits.begin(), wchar_t(L'0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits.insert(digits.begin(), L'-');
    return digits;
}

std::vector<std::wstring> SplitText(std::wstring_view text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        if (at == std::wstring_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
}

}  // namespace trelvo

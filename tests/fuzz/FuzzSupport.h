// Helpers shared by the fuzz targets: turning fuzzed bytes into text and
// stopping hard, with a readable reason, when a property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace trelvo::fuzz {

// Prints what went wrong and stops the process so libFuzzer saves the input.
[[noreturn]] inline void Fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "\n*** %s:%d: property violated: %s\n", file, line, what);
    std::fflush(stderr);
    __builtin_trap();
}

#define FUZZ_REQUIRE(condition)                                                    \
    do {                                                                           \
        if (!(condition)) ::trelvo::fuzz::Fail(#condition, __FILE__, __LINE__);    \
    } while (false)

// Bytes to UTF-16-like text, forgivingly: well-formed UTF-8 sequences become
// their code point (split into a surrogate pair above U+FFFF, as on Windows),
// any other byte becomes the character with the byte's own value. Seeds stay
// readable and every 16-bit character is still reachable.
inline std::wstring TextFromBytes(std::string_view bytes)
{
    std::wstring text;
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    for (size_t i = 0; i < bytes.size();) {
        unsigned char b = at(i);
        int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 0;
        std::uint32_t cp = extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
        bool ok = extra > 0;
        if (ok) {
            for (int k = 1; k <= extra; ++k) {
                if (i + size_t(k) >= bytes.size() || (at(i + size_t(k)) & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (at(i + size_t(k)) & 0x3F);
            }
        }
        if (ok && cp <= 0x10FFFF) {
            if (cp >= 0x10000) {
                cp -= 0x10000;
                text += wchar_t(0xD800 + (cp >> 10));
                text += wchar_t(0xDC00 + (cp & 0x3FF));
            } else {
                text += wchar_t(cp);
            }
            i += size_t(extra) + 1;
        } else {
            text += wchar_t(b);
            i += 1;
        }
    }
    return text;
}

// Splits off the part of the input before the first NUL byte; returns false
// (leaving both untouched) when there is no NUL.
inline bool TakeField(std::string_view& rest, std::string_view& field)
{
    size_t nul = rest.find('\0');
    if (nul == std::string_view::npos) return false;
    field = rest.substr(0, nul);
    rest.remove_prefix(nul + 1);
    return true;
}

}  // namespace trelvo::fuzz

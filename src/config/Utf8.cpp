#include "config/Utf8.h"

#include <cstdint>

namespace trelvo {
namespace {

// Length of the well-formed sequence at bytes[i] and its code point; 0 when
// none starts there.
size_t Sequence(std::string_view bytes, size_t i, std::uint32_t& cp)
{
    auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    unsigned char b = at(i);
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    size_t length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > bytes.size()) return 0;
    cp = b & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (at(i + k) & 0x3F);
    }
    bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0;
    return length;
}

}  // namespace

std::wstring FromUtf8(std::string_view bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        std::uint32_t cp = 0;
        size_t length = Sequence(bytes, i, cp);
        if (length == 0) {
            text += wchar_t(0xFFFD);
            ++i;
            continue;
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            text += wchar_t(0xD800 + (cp >> 10));
            text += wchar_t(0xDC00 + (cp & 0x3FF));
        } else {
            text += wchar_t(cp);
        }
    }
    return text;
}

std::string ToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = std::uint32_t(text[i]) & 0xFFFF;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && (std::uint32_t(text[i + 1]) & 0xFC00) == 0xDC00) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + ((std::uint32_t(text[i + 1]) & 0xFFFF) - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        std::uint32_t cp = 0;
        size_t length = Sequence(bytes, i, cp);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

}  // namespace trelvo

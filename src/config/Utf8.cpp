#include "config/Utf8.h"

#include <cstdint>

namespace trelvo {
namespace {

void AppendUtf16(std::wstring& out, char32_t c)
{
    if (c >= 0x10000) {
        out += wchar_t(0xD800 + ((c - 0x10000) >> 10));
        out += wchar_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
        out += wchar_t(c);
    }
}

// Decodes UTF-8 into out (when given). Each maximal piece of bytes that
// starts no well-formed sequence (a stray or missing continuation byte, an
// overlong form, a surrogate, beyond U+10FFFF) becomes one U+FFFD. Returns
// whether the bytes were well-formed UTF-8 throughout.
bool DecodeUtf8(std::string_view bytes, std::wstring* out)
{
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    bool wellFormed = true;
    for (size_t i = 0; i < bytes.size();) {
        unsigned lead = at(i);
        if (lead < 0x80) {
            if (out) *out += wchar_t(lead);
            ++i;
            continue;
        }
        // Continuation bytes needed, and the range the first of them must be
        // in (narrower after E0, ED, F0 and F4).
        int extra = 0;
        unsigned low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) extra = 1;
        else if (lead >= 0xE0 && lead <= 0xEF) extra = 2, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        else if (lead >= 0xF0 && lead <= 0xF4) extra = 3, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        char32_t c = lead & (0x7F >> (extra + 1));
        size_t j = i + 1;
        int taken = 0;
        for (; taken < extra && j < bytes.size(); ++taken, ++j) {
            unsigned next = at(j);
            if (next < (taken == 0 ? low : 0x80) || next > (taken == 0 ? high : 0xBF)) break;
            c = (c << 6) | (next & 0x3F);
        }
        i = j;
        if (extra == 0 || taken < extra) {
            wellFormed = false;
            c = 0xFFFD;
        }
        if (out) AppendUtf16(*out, c);
    }
    return wellFormed;
}

}  // namespace

std::wstring FromUtf8(std::string_view bytes)
{
    std::wstring text;
    text.reserve(bytes.size());
    DecodeUtf8(bytes, &text);
    return text;
}

bool IsValidUtf8(std::string_view bytes)
{
    return DecodeUtf8(bytes, nullptr);
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

}  // namespace trelvo

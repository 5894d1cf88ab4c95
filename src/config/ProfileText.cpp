#include "config/ProfileText.h"

#include "config/TextConversions.h"

#include <algorithm>
#include <vector>

namespace trelvo {
namespace {

// Windows-1252 characters 0x80 to 0x9F; 0 marks the five undefined ones,
// which pass through as their own code.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

wchar_t FromCp1252(unsigned char b)
{
    if (b >= 0x80 && b <= 0x9F && kCp1252High[b - 0x80] != 0) return wchar_t(kCp1252High[b - 0x80]);
    return wchar_t(b);
}

char ToCp1252(wchar_t c)
{
    // The five undefined bytes were read as their own codes: write them back.
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF) || (c < 0xA0 && kCp1252High[c - 0x80] == 0)) return char(c);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) return char(0x80 + i);
    return '?';
}

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

// The text in the given encoding, with the byte-order mark it had.
std::string Encode(std::wstring_view text, ProfileEncoding encoding)
{
    std::string out;
    switch (encoding) {
    case ProfileEncoding::CodePage:
        for (wchar_t c : text) out += ToCp1252(c);
        break;
    case ProfileEncoding::Utf16Le:
    case ProfileEncoding::Utf16Be: {
        const bool little = encoding == ProfileEncoding::Utf16Le;
        out = little ? "\xFF\xFE" : "\xFE\xFF";
        for (wchar_t c : text) {
            char low = char(c & 0xFF), high = char((c >> 8) & 0xFF);
            out += little ? low : high;
            out += little ? high : low;
        }
        break;
    }
    case ProfileEncoding::Utf8Marked:
    case ProfileEncoding::Utf8:
        if (encoding == ProfileEncoding::Utf8Marked) out = "\xEF\xBB\xBF";
        for (size_t i = 0; i < text.size(); ++i) {
            std::uint32_t cp = std::uint32_t(text[i]) & 0xFFFF;
            if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size()) {
                std::uint32_t low = std::uint32_t(text[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low < 0xE000) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
            // A lone surrogate would make the file ill-formed, and so read
            // in the code page when it has no mark.
            if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;
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
        break;
    }
    return out;
}

std::wstring Decode(std::string_view bytes, ProfileEncoding encoding)
{
    std::wstring text;
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    switch (encoding) {
    case ProfileEncoding::Utf16Le:
    case ProfileEncoding::Utf16Be:
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += wchar_t(encoding == ProfileEncoding::Utf16Le ? at(i) | (at(i + 1) << 8) : (at(i) << 8) | at(i + 1));
        break;
    case ProfileEncoding::Utf8Marked:
        DecodeUtf8(bytes.substr(3), &text);
        break;
    case ProfileEncoding::Utf8:
        DecodeUtf8(bytes, &text);
        break;
    case ProfileEncoding::CodePage:
        text.reserve(bytes.size());
        for (char c : bytes) text += FromCp1252(static_cast<unsigned char>(c));
        break;
    }
    return text;
}

std::wstring_view Trim(std::wstring_view s) { return TrimBlanks(s); }

wchar_t Fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; }

bool SameName(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

struct Line {
    size_t start;  // offset of the line in the decoded text
    std::wstring_view text;
};

std::vector<Line> SplitLines(std::wstring_view text)
{
    std::vector<Line> lines;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == L'\r' || text[i] == L'\n') {
            if (i > start || i < text.size()) lines.push_back({start, text.substr(start, i - start)});
            if (i + 1 < text.size() && text[i] == L'\r' && text[i + 1] == L'\n') ++i;
            start = i + 1;
        }
    }
    return lines;
}

// The name of a section line ("[name]"), or nothing for other lines.
bool SectionName(std::wstring_view line, std::wstring_view& name)
{
    line = Trim(line);
    if (line.size() < 2 || line.front() != L'[') return false;
    size_t close = line.rfind(L']');
    if (close == std::wstring_view::npos || close == 0) return false;
    name = Trim(line.substr(1, close - 1));
    return true;
}

bool KeyAndValue(std::wstring_view line, std::wstring_view& key, std::wstring_view& value)
{
    line = Trim(line);
    if (line.empty() || line.front() == L';') return false;
    size_t eq = line.find(L'=');
    key = Trim(line.substr(0, eq));
    value = eq == std::wstring_view::npos ? std::wstring_view{} : Trim(line.substr(eq + 1));
    return true;
}

struct Found {
    bool sectionFound = false;
    size_t sectionEndLine = 0;  // index of the first line after the section
    bool keyFound = false;
    size_t keyLine = 0;
    std::wstring_view value;
};

Found Find(const std::vector<Line>& lines, std::wstring_view section, std::wstring_view key)
{
    Found found;
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::wstring_view name;
        if (SectionName(lines[i].text, name)) {
            if (inside) return found;  // first matching section only
            inside = SameName(name, section);
            found.sectionFound = found.sectionFound || inside;
            found.sectionEndLine = i + 1;
            continue;
        }
        if (!inside) continue;
        found.sectionEndLine = i + 1;
        std::wstring_view k, v;
        if (!found.keyFound && KeyAndValue(lines[i].text, k, v) && SameName(k, key)) {
            found.keyFound = true;
            found.keyLine = i;
            found.value = v;
        }
    }
    return found;
}

}  // namespace

ProfileEncoding ProfileFileEncoding(std::string_view bytes)
{
    if (bytes.starts_with("\xFF\xFE")) return ProfileEncoding::Utf16Le;
    if (bytes.starts_with("\xFE\xFF")) return ProfileEncoding::Utf16Be;
    if (bytes.starts_with("\xEF\xBB\xBF")) return ProfileEncoding::Utf8Marked;
    bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return !ascii && DecodeUtf8(bytes, nullptr) ? ProfileEncoding::Utf8 : ProfileEncoding::CodePage;
}

std::uint32_t ReadProfileText(std::string_view bytes, std::wstring_view section,
                              std::wstring_view key, std::wstring_view fallback,
                              wchar_t* buffer, std::uint32_t size)
{
    if (size == 0) return 0;
    std::wstring text = Decode(bytes, ProfileFileEncoding(bytes));
    std::vector<Line> lines = SplitLines(text);
    Found found = Find(lines, section, key);
    std::wstring_view value = found.keyFound ? found.value : Trim(fallback);
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    std::uint32_t count = value.size() < size - 1 ? std::uint32_t(value.size()) : size - 1;
    value.copy(buffer, count);
    buffer[count] = L'\0';
    return count;
}

std::string WriteProfileText(std::string_view bytes, std::wstring_view section,
                             std::wstring_view key, std::wstring_view value)
{
    const ProfileEncoding encoding = ProfileFileEncoding(bytes);
    std::wstring text = Decode(bytes, encoding);
    std::vector<Line> lines = SplitLines(text);
    Found found = Find(lines, section, key);
    std::wstring entry = std::wstring(key) + L"=" + std::wstring(value);

    std::wstring out;
    auto appendLine = [&](std::wstring_view line) { out.append(line).append(L"\r\n"); };
    for (size_t i = 0; i < lines.size(); ++i) {
        if (found.keyFound && i == found.keyLine) {
            appendLine(entry);
            continue;
        }
        appendLine(lines[i].text);
        if (found.sectionFound && !found.keyFound && i + 1 == found.sectionEndLine) appendLine(entry);
    }
    if (!found.sectionFound) {
        appendLine(L"[" + std::wstring(section) + L"]");
        appendLine(entry);
    }
    return Encode(out, encoding);
}

}  // namespace trelvo

#include "config/ProfileText.h"

#include "config/TextConversions.h"

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

void AppendUtf8(std::wstring& out, std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        std::uint32_t cp = extra == 0 ? b : b & (0x3F >> extra);
        size_t j = i + 1;
        for (int k = 0; k < extra && j < bytes.size(); ++k, ++j) cp = (cp << 6) | (bytes[j] & 0x3F);
        i = j;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += wchar_t(0xD800 + (cp >> 10));
            out += wchar_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += wchar_t(cp);
        }
    }
}

enum class Encoding { Cp1252, Utf8, Utf16Le, Utf16Be };

Encoding Detect(std::string_view bytes)
{
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) return Encoding::Utf16Le;
    if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) return Encoding::Utf16Be;
    if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return Encoding::Utf8;
    return Encoding::Cp1252;
}

// The text in the given encoding, with its byte-order mark.
std::string Encode(std::wstring_view text, Encoding encoding)
{
    std::string out;
    switch (encoding) {
    case Encoding::Cp1252:
        for (wchar_t c : text) out += ToCp1252(c);
        break;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        out = encoding == Encoding::Utf16Le ? "\xFF\xFE" : "\xFE\xFF";
        for (wchar_t c : text) {
            char low = char(c & 0xFF), high = char((c >> 8) & 0xFF);
            out += encoding == Encoding::Utf16Le ? low : high;
            out += encoding == Encoding::Utf16Le ? high : low;
        }
        break;
    case Encoding::Utf8:
        out = "\xEF\xBB\xBF";
        for (size_t i = 0; i < text.size(); ++i) {
            std::uint32_t cp = std::uint32_t(text[i]) & 0xFFFF;
            if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size()) {
                std::uint32_t low = std::uint32_t(text[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low < 0xE000) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
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
        break;
    }
    return out;
}

std::wstring Decode(std::string_view bytes)
{
    std::wstring text;
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))) {
        bool little = at(0) == 0xFF;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += wchar_t(little ? at(i) | (at(i + 1) << 8) : (at(i) << 8) | at(i + 1));
    } else if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
        AppendUtf8(text, bytes.substr(3));
    } else {
        text.reserve(bytes.size());
        for (char c : bytes) text += FromCp1252(static_cast<unsigned char>(c));
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

std::uint32_t ReadProfileText(std::string_view bytes, std::wstring_view section,
                              std::wstring_view key, std::wstring_view fallback,
                              wchar_t* buffer, std::uint32_t size)
{
    if (size == 0) return 0;
    std::wstring text = Decode(bytes);
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
    std::wstring text = Decode(bytes);
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
    return Encode(out, Detect(bytes));
}

}  // namespace trelvo

#include "config/ProfileText.h"

#include "config/CodePage.h"
#include "config/TextConversions.h"

#include <vector>

namespace trelvo {
namespace {

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

ProfileEncoding Detect(std::string_view bytes)
{
    auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) return ProfileEncoding::Utf16Le;
    if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) return ProfileEncoding::Utf16Be;
    if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return ProfileEncoding::Utf8Marked;
    return ProfileEncoding::CodePage;
}

// The text in the given encoding, with its byte-order mark.
std::string Encode(std::wstring_view text, ProfileEncoding encoding, unsigned codePage)
{
    std::string out;
    switch (encoding) {
    case ProfileEncoding::CodePage:
        out = EncodeCodePage(text, codePage);
        break;
    case ProfileEncoding::Utf16Le:
    case ProfileEncoding::Utf16Be:
        out = encoding == ProfileEncoding::Utf16Le ? "\xFF\xFE" : "\xFE\xFF";
        for (wchar_t c : text) {
            char low = char(c & 0xFF), high = char((c >> 8) & 0xFF);
            out += encoding == ProfileEncoding::Utf16Le ? low : high;
            out += encoding == ProfileEncoding::Utf16Le ? high : low;
        }
        break;
    case ProfileEncoding::Utf8Marked:
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

std::wstring Decode(std::string_view bytes, unsigned codePage)
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
        text = DecodeCodePage(bytes, codePage);
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

// The one parser: every line of the file, its sections and their keys.
ProfileScan ScanLines(const std::vector<Line>& lines, ProfileEncoding encoding)
{
    ProfileScan scan;
    scan.encoding = encoding;
    scan.lineCount = int(lines.size());
    ProfileSection* current = nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
        int number = int(i) + 1;
        std::wstring_view name;
        if (SectionName(lines[i].text, name)) {
            current = &scan.sections.emplace_back();
            current->name = name;
            current->line = current->end = number;
            continue;
        }
        std::wstring_view k, v;
        bool entry = KeyAndValue(lines[i].text, k, v);
        if (!current) {
            if (entry) scan.outside.push_back({std::wstring(k), std::wstring(v), number, Trim(lines[i].text).find(L'=') != std::wstring_view::npos});
            continue;
        }
        current->end = number;
        if (entry) current->keys.push_back({std::wstring(k), std::wstring(v), number, Trim(lines[i].text).find(L'=') != std::wstring_view::npos});
    }
    return scan;
}

}  // namespace

bool SameProfileName(std::wstring_view a, std::wstring_view b) { return SameName(a, b); }

std::wstring_view UnquoteProfileValue(std::wstring_view value)
{
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

ProfileScan ScanProfile(std::string_view bytes, unsigned codePage)
{
    std::wstring text = Decode(bytes, codePage);
    return ScanLines(SplitLines(text), Detect(bytes));
}

const ProfileSection* FindProfileSection(const ProfileScan& scan, std::wstring_view section)
{
    for (const ProfileSection& candidate : scan.sections)
        if (SameName(candidate.name, section)) return &candidate;  // the first one wins
    return nullptr;
}

const ProfileKey* FindProfileKey(const ProfileScan& scan, std::wstring_view section, std::wstring_view key)
{
    const ProfileSection* found = FindProfileSection(scan, section);
    if (!found) return nullptr;
    for (const ProfileKey& candidate : found->keys)
        if (SameName(candidate.name, key)) return &candidate;  // the first one wins
    return nullptr;
}

std::uint32_t ReadProfileText(const ProfileScan& scan, std::wstring_view section, std::wstring_view key,
                              std::wstring_view fallback, wchar_t* buffer, std::uint32_t size)
{
    if (size == 0) return 0;
    const ProfileKey* found = FindProfileKey(scan, section, key);
    std::wstring_view value = UnquoteProfileValue(found ? std::wstring_view(found->value) : Trim(fallback));
    std::uint32_t count = value.size() < size - 1 ? std::uint32_t(value.size()) : size - 1;
    value.copy(buffer, count);
    buffer[count] = L'\0';
    return count;
}

std::uint32_t ReadProfileText(std::string_view bytes, std::wstring_view section,
                              std::wstring_view key, std::wstring_view fallback,
                              wchar_t* buffer, std::uint32_t size, unsigned codePage)
{
    return ReadProfileText(ScanProfile(bytes, codePage), section, key, fallback, buffer, size);
}

std::string WriteProfileText(std::string_view bytes, std::wstring_view section,
                             std::wstring_view key, std::wstring_view value, unsigned codePage)
{
    std::wstring text = Decode(bytes, codePage);
    std::vector<Line> lines = SplitLines(text);
    ProfileScan scan = ScanLines(lines, Detect(bytes));
    const ProfileSection* foundSection = FindProfileSection(scan, section);
    const ProfileKey* foundKey = FindProfileKey(scan, section, key);
    std::wstring entry = std::wstring(key) + L"=" + std::wstring(value);

    std::wstring out;
    auto appendLine = [&](std::wstring_view line) { out.append(line).append(L"\r\n"); };
    for (size_t i = 0; i < lines.size(); ++i) {
        if (foundKey && int(i) + 1 == foundKey->line) {
            appendLine(entry);
            continue;
        }
        appendLine(lines[i].text);
        if (foundSection && !foundKey && int(i) + 1 == foundSection->end) appendLine(entry);
    }
    if (!foundSection) {
        appendLine(L"[" + std::wstring(section) + L"]");
        appendLine(entry);
    }
    return Encode(out, scan.encoding, codePage);
}

}  // namespace trelvo

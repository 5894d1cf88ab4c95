#include "config/ProfileText.h"

#include "config/CodePage.h"
#include "config/TextConversions.h"
#include "config/Utf8.h"

#include <algorithm>
#include <vector>

namespace trelvo {
namespace {

// The text in the given encoding, with the byte-order mark it had.
std::string Encode(std::wstring_view text, ProfileEncoding encoding, unsigned codePage)
{
    std::string out;
    switch (encoding) {
    case ProfileEncoding::CodePage:
        out = EncodeCodePage(text, codePage);
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
        // A lone surrogate becomes U+FFFD: it would make the file ill-formed,
        // and so read in the code page when it has no mark.
        out += ToUtf8(text);
        break;
    }
    return out;
}

std::wstring Decode(std::string_view bytes, ProfileEncoding encoding, unsigned codePage)
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
        text = FromUtf8(bytes.substr(3));
        break;
    case ProfileEncoding::Utf8:
        text = FromUtf8(bytes);
        break;
    case ProfileEncoding::CodePage:
        text = DecodeCodePage(bytes, codePage);
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

ProfileEncoding ProfileFileEncoding(std::string_view bytes)
{
    if (bytes.starts_with("\xFF\xFE")) return ProfileEncoding::Utf16Le;
    if (bytes.starts_with("\xFE\xFF")) return ProfileEncoding::Utf16Be;
    if (bytes.starts_with("\xEF\xBB\xBF")) return ProfileEncoding::Utf8Marked;
    bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return !ascii && IsValidUtf8(bytes) ? ProfileEncoding::Utf8 : ProfileEncoding::CodePage;
}

bool SameProfileName(std::wstring_view a, std::wstring_view b) { return SameName(a, b); }

std::wstring_view UnquoteProfileValue(std::wstring_view value)
{
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

ProfileScan ScanProfile(std::string_view bytes, unsigned codePage)
{
    const ProfileEncoding encoding = ProfileFileEncoding(bytes);
    std::wstring text = Decode(bytes, encoding, codePage);
    return ScanLines(SplitLines(text), encoding);
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
    const ProfileEncoding encoding = ProfileFileEncoding(bytes);
    std::wstring text = Decode(bytes, encoding, codePage);
    std::vector<Line> lines = SplitLines(text);
    ProfileScan scan = ScanLines(lines, encoding);
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

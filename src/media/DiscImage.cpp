#include "media/DiscImage.h"

#include "config/Utf8.h"

namespace trelvo::media {
namespace {

constexpr size_t kIsoVolumeIdMax = 32;
constexpr size_t kJolietVolumeIdMax = 16;
constexpr size_t kAutorunLabelMax = 32;
constexpr size_t kJolietNameMax = 103;

// UTF-16 code units of well-formed UTF-8 text, by the program's one UTF-8 rule.
std::optional<std::u16string> Utf16FromUtf8(const std::string& text)
{
    if (!IsValidUtf8(text)) return std::nullopt;
    std::wstring wide = FromUtf8(text);
    return std::u16string(wide.begin(), wide.end());
}

bool IsAscii(const std::string& text)
{
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    return true;
}

// The first `count` characters of UTF-8 text (whole characters).
std::string FirstCharacters(const std::string& text, size_t count)
{
    size_t at = 0, seen = 0;
    while (at < text.size() && seen < count) {
        ++at;
        while (at < text.size() && (std::uint8_t(text[at]) & 0xC0) == 0x80) ++at;
        ++seen;
    }
    return text.substr(0, at);
}

size_t CharacterCount(const std::string& text)
{
    size_t count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80;
    return count;
}

}  // namespace

VolumeIds MakeVolumeIds(const std::string& labelUtf8)
{
    VolumeIds ids;
    bool underscore = false;  // runs of other characters become one "_"
    for (unsigned char c : labelUtf8) {
        if ((c & 0xC0) == 0x80) continue;  // the rest of a character already replaced
        char mapped = 0;
        if (c >= 'a' && c <= 'z') mapped = char(c - 'a' + 'A');
        else if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) mapped = char(c);
        if (mapped) {
            ids.iso += mapped;
            underscore = false;
        } else if (!underscore && !ids.iso.empty()) {
            ids.iso += '_';
            underscore = true;
        }
    }
    while (!ids.iso.empty() && ids.iso.back() == '_') ids.iso.pop_back();
    if (ids.iso.size() > kIsoVolumeIdMax) ids.iso.resize(kIsoVolumeIdMax);
    while (!ids.iso.empty() && ids.iso.back() == '_') ids.iso.pop_back();
    if (ids.iso.empty()) ids.iso = "CDROM";
    if (ids.iso != labelUtf8)
        ids.notes.push_back("the ISO 9660 volume ID is \"" + ids.iso + "\" (made from \"" + labelUtf8 +
                            "\": at most 32 characters of A-Z, 0-9 and _)");
    ids.joliet = ids.iso.substr(0, kJolietVolumeIdMax);
    if (ids.joliet != ids.iso)
        ids.notes.push_back("the Joliet volume ID holds 16 characters: \"" + ids.joliet + "\"");
    return ids;
}

std::string MakeAutorunInf(const std::string& launcher, const std::string& labelUtf8, std::vector<std::string>& notes)
{
    std::string label;
    for (char c : labelUtf8) label += (c == '\r' || c == '\n') ? ' ' : c;
    if (CharacterCount(label) > kAutorunLabelMax) {
        label = FirstCharacters(label, kAutorunLabelMax);
        notes.push_back("autorun.inf: the label is cut to the 32 characters Windows shows: \"" + label + "\"");
    }
    std::string text = "[autorun]\r\nopen=" + launcher + "\r\nicon=" + launcher + ",0\r\nlabel=" + label + "\r\n";
    if (IsAscii(text)) return text;
    // Windows reads a profile file with a UTF-16 byte-order mark as Unicode.
    std::u16string units = Utf16FromUtf8(text).value_or(u"");
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : units) {
        bytes += char(unit & 0xFF);
        bytes += char(unit >> 8);
    }
    return bytes;
}

std::optional<std::string> JolietNameProblem(const std::string& nameUtf8)
{
    std::optional<std::u16string> units = Utf16FromUtf8(nameUtf8);
    if (!units) return "the name is not valid UTF-8, so Windows cannot be given its letters";
    if (units->size() > kJolietNameMax)
        return "the name has " + std::to_string(units->size()) +
               " characters; the Joliet tree that Windows reads holds 103 at most";
    for (char16_t unit : *units) {
        if (unit >= 0xD800 && unit <= 0xDFFF)
            return "the name has a character outside the Basic Multilingual Plane, which the Joliet tree "
                   "cannot hold";
        if (unit < 0x20) return "the name has a control character";
        if (unit == u'*' || unit == u'/' || unit == u':' || unit == u';' || unit == u'?' || unit == u'\\')
            return std::string("the name has the character ") + char(unit) + ", which the Joliet tree cannot hold";
    }
    return std::nullopt;
}

}  // namespace trelvo::media

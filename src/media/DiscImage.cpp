#include "media/DiscImage.h"

#include <cerrno>
#include <iconv.h>

namespace trelvo::media {
namespace {

constexpr size_t kIsoVolumeIdMax = 32;
constexpr size_t kJolietVolumeIdMax = 16;
constexpr size_t kAutorunLabelMax = 32;
constexpr size_t kJolietNameMax = 103;

// UTF-8 to UTF-16 LE code units through the C library's converter, which
// refuses malformed input.
std::optional<std::u16string> Utf16FromUtf8(const std::string& text)
{
    iconv_t converter = iconv_open("UTF-16LE", "UTF-8");
    if (converter == iconv_t(-1)) return std::nullopt;
    std::string out(text.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* outAt = out.data();
    size_t outLeft = out.size();
    size_t done = iconv(converter, &in, &inLeft, &outAt, &outLeft);
    iconv_close(converter);
    if (done == size_t(-1) || inLeft != 0) return std::nullopt;
    size_t bytes = out.size() - outLeft;
    std::u16string units(bytes / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(std::uint8_t(out[2 * i]) | std::uint8_t(out[2 * i + 1]) << 8);
    return units;
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

std::optional<std::wstring> WideFromUtf8(const std::string& text)
{
    std::optional<std::u16string> units = Utf16FromUtf8(text);
    if (!units) return std::nullopt;
    return std::wstring(units->begin(), units->end());
}

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

// The code-page seam natively: glibc's iconv, to and from UTF-16LE.
#include <iconv.h>

#include <cerrno>
#include <string>

#include "config/CodePage.h"

namespace trelvo {
namespace {

std::string IconvName(unsigned codePage)
{
    if (codePage == 65001) return "UTF-8";
    return "CP" + std::to_string(codePage);
}

class Converter {
public:
    Converter(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Converter()
    {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // One step: converts as much as it can; false on a byte it cannot.
    bool Step(const char*& in, size_t& inLeft, std::string& out)
    {
        char buffer[4096];
        char* at = buffer;
        size_t outLeft = sizeof buffer;
        size_t result = iconv(cd_, const_cast<char**>(&in), &inLeft, &at, &outLeft);
        int error = errno;
        out.append(buffer, size_t(at - buffer));
        return result != size_t(-1) || error == E2BIG;
    }

private:
    iconv_t cd_;
};

}  // namespace

bool CodePageAvailable(unsigned codePage)
{
    return Converter("UTF-16LE", IconvName(codePage)).ok();
}

std::wstring DecodeCodePage(std::string_view bytes, unsigned codePage)
{
    std::wstring text;
    Converter converter("UTF-16LE", IconvName(codePage));
    if (!converter.ok()) {
        for (char c : bytes) text += wchar_t(static_cast<unsigned char>(c));
        return text;
    }
    std::string units;
    const char* in = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        if (!converter.Step(in, left, units)) {
            // An undefined byte (or a sequence cut short) stands for itself.
            units += *in;
            units += '\0';
            ++in;
            --left;
        }
    }
    text.reserve(units.size() / 2);
    for (size_t i = 0; i + 1 < units.size(); i += 2)
        text += wchar_t(static_cast<unsigned char>(units[i]) | static_cast<unsigned char>(units[i + 1]) << 8);
    return text;
}

std::string EncodeCodePage(std::wstring_view text, unsigned codePage)
{
    std::string out;
    Converter converter(IconvName(codePage), "UTF-16LE");
    std::string units;
    for (wchar_t c : text) {
        units += char(c & 0xFF);
        units += char((c >> 8) & 0xFF);
    }
    if (!converter.ok()) return std::string(text.size(), '?');
    const char* in = units.data();
    size_t left = units.size();
    while (left > 0) {
        if (!converter.Step(in, left, out)) {
            // Characters read from undefined bytes are written back as those
            // bytes; anything else the code page lacks becomes '?'.
            unsigned unit = static_cast<unsigned char>(in[0]) | static_cast<unsigned char>(in[1]) << 8;
            out += unit < 0x100 ? char(unit) : '?';
            in += 2;
            left -= left >= 2 ? 2 : left;
        }
    }
    return out;
}

}  // namespace trelvo

#include "Media.h"

#include <algorithm>
#include <vector>

#include "Support.h"

namespace harness {
namespace {

void Put16(std::string& out, unsigned value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Put32BigEndian(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) out += char((value >> shift) & 0xFF);
}

}  // namespace

std::string IniBytes(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string Utf16Ini(const std::wstring& text)
{
    std::string out = "\xFF\xFE";
    for (wchar_t c : text) {
        if (c == L'\n') out += std::string("\r\0", 2);
        out += char(c & 0xFF);
        out += char((c >> 8) & 0xFF);
    }
    return out;
}

std::string Button(int n, const char* show, const char* caption, const char* action)
{
    std::string out = "[BUTTON" + std::to_string(n) + "]\n";
    if (show) out += std::string("Show=") + show + "\n";
    if (caption) out += std::string("Caption=") + caption + "\n";
    if (action) out += std::string("Action=") + action + "\n";
    return out;
}

std::string BmpHeader(std::int32_t width, std::int32_t height)
{
    std::string out = "BM";
    Put32(out, 54);
    Put32(out, 0);
    Put32(out, 54);
    Put32(out, 40);
    Put32(out, std::uint32_t(width));
    Put32(out, std::uint32_t(height));
    Put16(out, 1);
    Put16(out, 24);
    for (std::uint32_t field : {0u, 0u, 2835u, 2835u, 0u, 0u}) Put32(out, field);
    return out;
}

std::string Bmp(int width, int height, COLORREF colour)
{
    int stride = (width * 3 + 3) & ~3;
    std::string out = BmpHeader(width, height);
    // The file size and the size of the pixels.
    std::string size;
    Put32(size, std::uint32_t(54 + stride * height));
    out.replace(2, 4, size);
    size.clear();
    Put32(size, std::uint32_t(stride * height));
    out.replace(34, 4, size);
    std::string row;
    for (int x = 0; x < width; ++x) {
        row += char(GetBValue(colour));
        row += char(GetGValue(colour));
        row += char(GetRValue(colour));
    }
    row.resize(size_t(stride), '\0');
    for (int y = 0; y < height; ++y) out += row;
    return out;
}

std::string Png(int width, int height, const std::function<Rgba(int, int)>& pixel)
{
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';  // filter: none
        for (int x = 0; x < width; ++x) {
            Rgba p = pixel(x, y);
            raw += char(p.r);
            raw += char(p.g);
            raw += char(p.b);
            raw += char(p.a);
        }
    }
    std::string zlib = "\x78\x01";
    for (size_t at = 0; at < raw.size() || at == 0;) {
        size_t length = std::min<size_t>(raw.size() - at, 65535);
        bool last = at + length >= raw.size();
        zlib += char(last ? 1 : 0);
        Put16(zlib, unsigned(length));
        Put16(zlib, unsigned(~length & 0xFFFF));
        zlib += raw.substr(at, length);
        at += length;
        if (last) break;
    }
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32BigEndian(zlib, (b << 16) | a);

    std::string out = "\x89PNG\r\n\x1a\n";
    auto chunk = [&](const char* type, const std::string& data) {
        Put32BigEndian(out, std::uint32_t(data.size()));
        std::string typed = std::string(type, 4) + data;
        out += typed;
        Put32BigEndian(out, Crc32(typed));
    };
    std::string header;
    Put32BigEndian(header, std::uint32_t(width));
    Put32BigEndian(header, std::uint32_t(height));
    header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter set, no interlace
    chunk("IHDR", header);
    chunk("IDAT", zlib);
    chunk("IEND", "");
    return out;
}

std::string Png(int width, int height, COLORREF colour)
{
    return Png(width, height, [colour](int, int) -> Rgba {
        return {GetRValue(colour), GetGValue(colour), GetBValue(colour), 255};
    });
}

std::string PngClaiming(std::string png, std::uint32_t width, std::uint32_t height)
{
    // IHDR data starts at 16: width, height (big-endian), then the CRC after 13 bytes.
    std::string size;
    Put32BigEndian(size, width);
    Put32BigEndian(size, height);
    png.replace(16, 8, size);
    std::string crc;
    Put32BigEndian(crc, Crc32(png.substr(12, 17)));
    png.replace(29, 4, crc);
    return png;
}

std::string Ico(COLORREF colour)
{
    const int sizes[] = {16, 32};
    std::vector<std::string> images;
    for (int side : sizes) {
        std::string image;
        Put32(image, 40);
        Put32(image, side);
        Put32(image, side * 2);
        Put16(image, 1);
        Put16(image, 32);
        Put32(image, 0);
        Put32(image, side * side * 4 + side * 4);
        for (int k = 0; k < 4; ++k) Put32(image, 0);
        for (int k = 0; k < side * side; ++k) {
            image += char(GetBValue(colour));
            image += char(GetGValue(colour));
            image += char(GetRValue(colour));
            image += char(0xFF);
        }
        image += std::string(size_t(side * 4), '\0');  // AND mask: all opaque
        images.push_back(image);
    }
    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, unsigned(images.size()));
    std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
    for (size_t k = 0; k < images.size(); ++k) {
        out += char(sizes[k]);
        out += char(sizes[k]);
        out += '\0';
        out += '\0';
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, std::uint32_t(images[k].size()));
        Put32(out, offset);
        offset += std::uint32_t(images[k].size());
    }
    for (const auto& image : images) out += image;
    return out;
}

std::string IcoPointingPastEnd()
{
    std::string out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, 1);
    out += char(32);
    out += char(32);
    out += '\0';
    out += '\0';
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 4264);        // bytes of the image
    Put32(out, 0x00F00000);  // where it would start
    out += std::string(64, '\x55');
    return out;
}

std::string RandomBytes(size_t count, std::uint32_t seed)
{
    std::string out;
    out.reserve(count);
    std::uint32_t x = seed;
    while (out.size() < count) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out += char(x & 0xFF);
    }
    return out;
}

}  // namespace harness

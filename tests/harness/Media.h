// What goes on a test medium, made in code: INI text and pictures and icons
// whose pixels the drivers know.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace harness {

// INI text from the tables: written with CR LF line ends.
std::string IniBytes(const std::string& text);
// Text as UTF-16 (little-endian) with its byte-order mark, CR LF line ends.
std::string Utf16Ini(const std::wstring& text);
// A [BUTTONn] section; a null pointer leaves the key out.
std::string Button(int n, const char* show, const char* caption, const char* action);

// A 24-bit BMP of one colour.
std::string Bmp(int width, int height, COLORREF colour);
// A BMP header (54 bytes) that claims a size; no pixels follow.
std::string BmpHeader(std::int32_t width, std::int32_t height);

struct Rgba {
    unsigned char r, g, b, a;
};
// A PNG (8-bit RGBA, stored deflate blocks) with the pixels of `pixel(x, y)`.
std::string Png(int width, int height, const std::function<Rgba(int, int)>& pixel);
// A PNG of one opaque colour.
std::string Png(int width, int height, COLORREF colour);
// The PNG with its header claiming another size (its CRC mended).
std::string PngClaiming(std::string png, std::uint32_t width, std::uint32_t height);

// An icon file of one opaque colour, 16 and 32 pixels, 32-bit.
std::string Ico(COLORREF colour);
// An icon file whose one directory entry points far beyond the file's end.
std::string IcoPointingPastEnd();

// Bytes from a fixed seed (xorshift32): the same "random" file every run.
std::string RandomBytes(size_t count, std::uint32_t seed);

}  // namespace harness

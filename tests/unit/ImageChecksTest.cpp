#include <gtest/gtest.h>

#include "window/ImageChecks.h"

namespace trelvo {
namespace {

std::string Le32(std::uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string Be32(std::uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

// A BMP header: the pixel data would start at byte 54.
std::string BmpHead(std::int32_t width, std::int32_t height, std::uint16_t bits = 24, std::uint32_t compression = 0)
{
    return "BM" + Le32(0) + Le32(0) + Le32(54) + Le32(40) + Le32(std::uint32_t(width)) + Le32(std::uint32_t(height)) +
           std::string{1, 0, char(bits), char(bits >> 8)} + Le32(compression) + std::string(20, '\0');
}

std::string PngHead(std::uint32_t width, std::uint32_t height)
{
    return std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16) + Be32(width) + Be32(height) + std::string(8, '\0');
}

std::string GifHead(std::uint16_t width, std::uint16_t height)
{
    return std::string("GIF89a") + char(width) + char(width >> 8) + char(height) + char(height >> 8) + std::string(6, '\0');
}

TEST(ImageChecks, RefusedBeforeDecoding)
{
    const std::uint64_t bmp481 = 54 + 1444ull * 297;  // a 481 x 297 24-bit BMP, whole
    const struct {
        const char* name;
        std::string head;
        std::uint64_t size;
        const wchar_t* reason;  // nullptr: a decoder may try it
    } cases[] = {
        {"empty file", "", 0, L"the file is empty"},
        {"whole BMP", BmpHead(481, 297), bmp481, nullptr},
        {"top-down BMP", BmpHead(481, -297), bmp481, nullptr},
        {"BMP one byte short", BmpHead(481, 297), bmp481 - 1, L"the file is damaged (it is shorter than its pixels)"},
        {"compressed BMP is not measured", BmpHead(481, 297, 8, 1), 100, nullptr},
        {"BMP with 0 bits", BmpHead(4, 4, 0), 1000, L"the file is damaged (it is shorter than its pixels)"},
        {"BMP header cut", "BM" + std::string(20, '\0'), 22, L"the file is damaged or is not an image"},
        {"BMP of zero width", BmpHead(0, 10), 1000, L"the image is empty"},
        {"BMP 16384 a side is shown", BmpHead(16384, 1, 1), 54 + 2048, nullptr},
        {"BMP 16385 wide", BmpHead(16385, 1), 1u << 20,
         L"the image is 16385 x 1 pixels, larger than Trelvo shows (16384 pixels a side at most)"},
        {"BMP over 64 M pixels", BmpHead(16384, -4097), 1ull << 40,
         L"the image is 16384 x 4097 pixels, larger than Trelvo shows (16384 pixels a side at most)"},
        {"PNG", PngHead(481, 297), 5000, nullptr},
        {"PNG claims 20000 rows", PngHead(10, 20000), 5000,
         L"the image is 10 x 20000 pixels, larger than Trelvo shows (16384 pixels a side at most)"},
        {"PNG header cut short is left to the decoder", PngHead(10, 20000).substr(0, 20), 20, nullptr},
        {"GIF of zero height", GifHead(10, 0), 100, L"the image is empty"},
        {"GIF", GifHead(481, 297), 100, nullptr},
        {"text", "hello", 5, nullptr},
    };
    for (const auto& c : cases) {
        std::optional<std::wstring> reason = CheckImageHead(c.head, c.size);
        if (c.reason) EXPECT_EQ(reason.value_or(L"(none)"), c.reason) << c.name;
        else EXPECT_FALSE(reason) << c.name << ": " << std::string(reason->begin(), reason->end());
    }
}

TEST(ImageChecks, FormatsByTheirFirstBytes)
{
    const struct {
        std::string head;
        ImageFormat format;
    } cases[] = {
        {BmpHead(1, 1), ImageFormat::Bmp},     {GifHead(1, 1), ImageFormat::Gif},
        {"GIF88a", ImageFormat::Unknown},      {"\xFF\xD8\xFF\xE0", ImageFormat::Jpeg},
        {PngHead(1, 1), ImageFormat::Png},     {std::string("\0\0\1\0\1\0", 6), ImageFormat::Ico},
        {std::string("\0\0\2\0\1\0", 6), ImageFormat::Unknown},  // a cursor
        {"II*\0", ImageFormat::Tiff},          {std::string("MM\0*", 4), ImageFormat::Tiff},
        {"<svg", ImageFormat::Unknown},        {"B", ImageFormat::Unknown},
    };
    for (const auto& c : cases) EXPECT_EQ(SniffImageFormat(c.head), c.format) << c.head;
}

}  // namespace
}  // namespace trelvo

// The splash window's pixel arithmetic: scaling for the DPI, blending over
// the background colour, icons with straight alpha.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Host.h"
#include "window/PictureMath.h"

namespace trelvo {
namespace {

// Memory handed to the preparation, or refused as a failing system would.
class BufferTarget final : public PixelTarget {
public:
    explicit BufferTarget(bool refuse = false) : refuse_(refuse) {}
    std::uint32_t* Pixels(int w, int h) override
    {
        ++requests;
        width = w, height = h;
        if (refuse_) return nullptr;
        pixels.assign(size_t(w) * size_t(h), 0xDEADBEEFu);  // any pixel not written shows
        return pixels.data();
    }
    int requests = 0, width = 0, height = 0;
    std::vector<std::uint32_t> pixels;

private:
    bool refuse_;
};

PixelImage Uniform(int width, int height, std::uint32_t pixel)
{
    return {width, height, std::vector<std::uint32_t>(size_t(width) * size_t(height), pixel)};
}

TEST(PictureMath, ScaleForDpiRoundsToTheNearestPixel)
{
    const struct {
        int length, dpi, expected;
    } cases[] = {
        {481, 96, 481}, {481, 144, 722},  // 721.5 rounds up
        {297, 144, 446},                  // 445.5
        {481, 120, 601},                  // 601.25
        {1, 96, 1},     {1, 144, 2},      // 1.5
        {1, 120, 1},                      // 1.25
        {3, 72, 2},                       // 2.25
        {0, 144, 0},    {16384, 192, 32768},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScaleForDpi(c.length, c.dpi), c.expected) << c.length << " at " << c.dpi;
}

TEST(PictureMath, BlendOverTheBackgroundColour)
{
    // Colours are 0x00BBGGRR; pixels 0xAARRGGBB, premultiplied.
    const struct {
        const char* name;
        std::uint32_t pixel, colour, expected;
    } cases[] = {
        {"fully transparent shows the colour", 0x00000000, 0x006B1F2F, 0x002F1F6B},
        {"fully opaque hides it", 0xFF123456, 0x006B1F2F, 0x00123456},
        {"opaque white over black", 0xFFFFFFFF, 0x00000000, 0x00FFFFFF},
        {"half red over white", 0x80800000, 0x00FFFFFF, 0x00FF7F7F},
        {"half black over white", 0x80000000, 0x00FFFFFF, 0x007F7F7F},
        {"one step of alpha over blue", 0x01000000, 0x00FF0000, 0x000000FE},
        {"a channel above its alpha saturates", 0x10FF0000, 0x00FFFFFF, 0x00FFEFEF},
        {"the colour's top byte plays no part", 0x00000000, 0x80000000, 0x00000000},
    };
    for (const auto& c : cases) EXPECT_EQ(BlendOver(c.pixel, c.colour), c.expected) << c.name;
}

TEST(PictureMath, UnpremultiplyForIcons)
{
    const struct {
        const char* name;
        std::uint32_t pixel, expected;
    } cases[] = {
        {"fully transparent", 0x00000000, 0x00000000},
        {"transparent with colour left in it", 0x00FFFFFF, 0x00000000},
        {"fully opaque is unchanged", 0xFF123456, 0xFF123456},
        {"half red", 0x80400000, 0x80800000},
        {"rounded to the nearest", 0x03010000, 0x03550000},  // 85
        {"alpha 1 at full", 0x01010101, 0x01FFFFFF},
        {"a channel above its alpha saturates", 0x10FF0000, 0x10FF0000},
    };
    for (const auto& c : cases) EXPECT_EQ(Unpremultiply(c.pixel), c.expected) << c.name;
}

TEST(PictureMath, ResizeKeepsUniformImagesExact)
{
    const struct {
        int fromW, fromH, toW, toH;
    } sizes[] = {
        {1, 1, 1, 1}, {1, 1, 4, 3},  {1, 1, 2, 2},  {7, 5, 3, 2},   {5, 5, 11, 7},
        {3, 1, 1, 1}, {2, 9, 3, 14}, {9, 1, 13, 2}, {481, 2, 722, 3}, {64, 64, 16, 16},
    };
    const std::uint32_t pixels[] = {0xFF2F1F6B, 0x00000000, 0x80402010, 0xFFFFFFFF};
    for (const auto& s : sizes)
        for (std::uint32_t pixel : pixels) {
            PixelImage out = ResizeImage(Uniform(s.fromW, s.fromH, pixel), s.toW, s.toH);
            SCOPED_TRACE(::testing::Message() << s.fromW << "x" << s.fromH << " to " << s.toW << "x" << s.toH
                                              << " pixel " << std::hex << pixel);
            ASSERT_EQ(out.width, s.toW);
            ASSERT_EQ(out.height, s.toH);
            ASSERT_EQ(out.pixels.size(), size_t(s.toW) * size_t(s.toH));
            for (std::uint32_t p : out.pixels) ASSERT_EQ(p, pixel);
        }
}

TEST(PictureMath, ResizeEdgesAndSteps)
{
    const std::uint32_t black = 0xFF000000, white = 0xFFFFFFFF;
    const struct {
        const char* name;
        PixelImage from;
        int toW, toH;
        std::vector<std::uint32_t> expected;
    } cases[] = {
        {"the same size is a copy", {3, 1, {black, 0x80402010, white}}, 3, 1, {black, 0x80402010, white}},
        {"enlarging keeps the edge pixels", {2, 1, {black, white}}, 4, 1, {black, 0xFF404040, 0xFFBFBFBF, white}},
        {"enlarging down a column", {1, 2, {white, black}}, 1, 4, {white, 0xFFBFBFBF, 0xFF404040, black}},
        {"one pixel grows to a block", {1, 1, {0x80402010}}, 2, 2, {0x80402010, 0x80402010, 0x80402010, 0x80402010}},
        {"halving averages neighbours", {4, 1, {black, black, white, white}}, 2, 1, {0xFF242424, 0xFFDBDBDB}},
        {"to one pixel: weights 2/3, 1, 2/3", {3, 1, {black, white, black}}, 1, 1, {0xFF6D6D6D}},
        {"transparency stays where it was", {2, 1, {0x00000000, white}}, 4, 1, {0x00000000, 0x40404040, 0xBFBFBFBF, white}},
    };
    for (const auto& c : cases) {
        PixelImage out = ResizeImage(c.from, c.toW, c.toH);
        EXPECT_EQ(out.pixels, c.expected) << c.name;
    }
}

TEST(PictureMath, ResizeStaysPremultiplied)
{
    // No channel may exceed its alpha after filtering premultiplied pixels.
    PixelImage from{5, 3, {}};
    for (int i = 0; i < 15; ++i) {
        std::uint32_t alpha = std::uint32_t(i * 17), channel = alpha * std::uint32_t(i % 3) / 2;
        from.pixels.push_back(alpha << 24 | channel << 16 | (alpha - channel) << 8 | alpha);
    }
    for (auto [w, h] : {std::pair{9, 5}, std::pair{2, 1}, std::pair{7, 3}, std::pair{1, 1}}) {
        for (std::uint32_t p : ResizeImage(from, w, h).pixels) {
            std::uint32_t a = p >> 24;
            EXPECT_LE((p >> 16) & 0xFF, a) << std::hex << p;
            EXPECT_LE((p >> 8) & 0xFF, a) << std::hex << p;
            EXPECT_LE(p & 0xFF, a) << std::hex << p;
        }
    }
}

TEST(PictureMath, CompositeForEachDpi)
{
    const std::uint32_t colour = 0x006B1F2F, back = 0x002F1F6B;  // 47,31,107
    const struct {
        const char* name;
        PixelImage picture;
        int dpi, width, height;
        std::vector<std::uint32_t> expected;
    } cases[] = {
        {"96 DPI: pixel for pixel", {2, 1, {0x00000000, 0xFFFF0000}}, 96, 2, 1, {back, 0x00FF0000}},
        {"one pixel at 96 DPI", {1, 1, {0xFF00FF00}}, 96, 1, 1, {0x0000FF00}},
        {"one pixel at 144 DPI", {1, 1, {0xFF00FF00}}, 144, 2, 2, {0x0000FF00, 0x0000FF00, 0x0000FF00, 0x0000FF00}},
        {"fully transparent at 144 DPI", {3, 1, {0, 0, 0}}, 144, 5, 2, std::vector<std::uint32_t>(10, back)},
        {"odd size at 120 DPI", {3, 3, std::vector<std::uint32_t>(9, 0xFF102030)}, 120, 4, 4,
         std::vector<std::uint32_t>(16, 0x00102030)},
    };
    for (const auto& c : cases) {
        BufferTarget target;
        PrepareComposite(c.picture, colour, c.dpi, target);
        EXPECT_EQ(target.requests, 1) << c.name;
        EXPECT_EQ(target.width, c.width) << c.name;
        EXPECT_EQ(target.height, c.height) << c.name;
        EXPECT_EQ(target.pixels, c.expected) << c.name;
    }
}

TEST(PictureMath, IconsFitCentredWithStraightAlpha)
{
    const std::uint32_t red = 0xFFFF0000;
    const std::uint32_t _ = 0;  // transparent around the fitted image
    const struct {
        const char* name;
        PixelImage image;
        int size;
        std::vector<std::uint32_t> expected;
    } cases[] = {
        {"wide image centred vertically", Uniform(4, 2, red), 4,
         {_, _, _, _, red, red, red, red, red, red, red, red, _, _, _, _}},
        {"tall image centred across", Uniform(1, 3, red), 3, {_, red, _, _, red, _, _, red, _}},
        {"one pixel fills the icon", Uniform(1, 1, red), 2, {red, red, red, red}},
        {"half transparency unpremultiplied", Uniform(2, 2, 0x80400000), 2,
         {0x80800000, 0x80800000, 0x80800000, 0x80800000}},
        {"fully transparent stays empty", Uniform(2, 2, 0), 2, {_, _, _, _}},
    };
    for (const auto& c : cases) {
        BufferTarget target;
        PrepareIcon(c.image, c.size, target);
        EXPECT_EQ(target.width, c.size) << c.name;
        EXPECT_EQ(target.pixels, c.expected) << c.name;
    }
}

// The system refusing the bitmap (out of memory, or of GDI resources) is a
// failure that names the bitmap, never a picture silently left out.
TEST(PictureMath, RefusedBitmapIsReported)
{
    const struct {
        const char* name;
        std::function<void(PixelTarget&)> prepare;
        const wchar_t* names;
    } cases[] = {
        {"composite at 144 DPI", [](PixelTarget& t) { PrepareComposite(Uniform(481, 297, 0xFF000000), 0, 144, t); },
         L"picture for the window: the system has no memory for a bitmap of 722 x 446 pixels."},
        {"composite at 96 DPI", [](PixelTarget& t) { PrepareComposite(Uniform(3, 1, 0xFF000000), 0, 96, t); },
         L"a bitmap of 3 x 1 pixels"},
        {"icon", [](PixelTarget& t) { PrepareIcon(Uniform(5, 5, 0xFF000000), 32, t); },
         L"icon for the window: the system has no memory for a bitmap of 32 x 32 pixels."},
    };
    for (const auto& c : cases) {
        BufferTarget refusing(true);
        try {
            c.prepare(refusing);
            ADD_FAILURE() << c.name << ": no failure reported";
        } catch (const UncheckedFailure& failure) {
            EXPECT_NE(failure.Message().find(c.names), std::wstring::npos) << c.name;
        }
    }
}

}  // namespace
}  // namespace trelvo

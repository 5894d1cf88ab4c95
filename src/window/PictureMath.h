// The pixel arithmetic of the splash window, free of any window system: the
// picture scaled for the DPI, blended over the background colour, and window
// icons made from images. The platform window only hands over memory for the
// result (PixelTarget) and draws it.
#pragma once

#include <cstdint>
#include <vector>

namespace trelvo {

// An image: premultiplied-alpha BGRA pixels (blue in the lowest byte, alpha
// in the highest), top row first, rows packed.
struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// Memory for prepared pixels: on Windows, a bitmap the window draws.
class PixelTarget {
public:
    // width x height pixels, top row first, rows packed; null when the
    // memory cannot be had.
    virtual std::uint32_t* Pixels(int width, int height) = 0;

protected:
    ~PixelTarget() = default;
};

// A length of a picture drawn for 96 DPI, at `dpi`: rounded to the nearest
// pixel, as the window's own lengths are.
int ScaleForDpi(int length, int dpi);

// The image resized to width x height with a tent filter whose reach grows
// with the reduction, so both enlarging and reducing stay smooth. Throws
// std::bad_alloc when there is no memory for it.
PixelImage ResizeImage(const PixelImage& image, int width, int height);

// One premultiplied pixel over the opaque colour 0x00BBGGRR: an opaque pixel
// in the image's channel order, its top byte 0.
std::uint32_t BlendOver(std::uint32_t premultiplied, std::uint32_t colour);

// One premultiplied pixel with straight alpha, as icons take it; a fully
// transparent pixel becomes 0.
std::uint32_t Unpremultiply(std::uint32_t premultiplied);

// The picture as the window shows it at `dpi` over `colour` (0x00BBGGRR):
// scaled for the DPI, blended, written into the target. Throws
// UncheckedFailure naming the bitmap when the target has no memory for it,
// std::bad_alloc when the scaling has none.
void PrepareComposite(const PixelImage& picture, std::uint32_t colour, int dpi, PixelTarget& target);

// A square window icon of `size` pixels made from an image: fitted keeping
// its aspect ratio, centred, transparent around, straight alpha; written
// into the target. Fails as PrepareComposite does.
void PrepareIcon(const PixelImage& image, int size, PixelTarget& target);

}  // namespace trelvo

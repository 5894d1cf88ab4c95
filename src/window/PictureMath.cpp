#include "window/PictureMath.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>

#include "config/TextConversions.h"
#include "platform/Host.h"

namespace trelvo {
namespace {

// Weights of the source samples for each target sample along one axis.
struct Tap {
    int first = 0;
    std::vector<float> weights;
};

std::vector<Tap> Taps(int from, int to)
{
    std::vector<Tap> taps(static_cast<size_t>(to));
    float scale = float(from) / float(to), reach = std::max(1.0f, scale);
    for (int t = 0; t < to; ++t) {
        float centre = (float(t) + 0.5f) * scale - 0.5f;
        int first = std::max(0, int(std::floor(centre - reach)) + 1);
        int last = std::min(from - 1, int(std::ceil(centre + reach)) - 1);
        Tap& tap = taps[size_t(t)];
        tap.first = first;
        float total = 0;
        for (int s = first; s <= last; ++s) {
            float w = std::max(0.0f, 1.0f - std::fabs(float(s) - centre) / reach);
            tap.weights.push_back(w);
            total += w;
        }
        if (tap.weights.empty()) {  // centre beyond an edge: take the edge sample
            tap.first = std::clamp(int(std::lround(centre)), 0, from - 1);
            tap.weights.push_back(1.0f);
            total = 1.0f;
        }
        for (float& w : tap.weights) w /= total;
    }
    return taps;
}

// The number of elements of a buffer width x height x per, or bad_alloc when
// it does not fit the address space (a 32-bit launcher meets that first).
template <typename T>
size_t BufferSize(int width, int height, int per)
{
    const std::uint64_t count = std::uint64_t(width) * std::uint64_t(height) * std::uint64_t(per);
    if (width < 0 || height < 0 || count > std::vector<T>().max_size()) throw std::bad_alloc();
    return size_t(count);
}

std::uint32_t* TargetPixels(PixelTarget& target, int width, int height, const wchar_t* what)
{
    if (std::uint32_t* pixels = target.Pixels(width, height)) return pixels;
    throw UncheckedFailure(L"Couldn't prepare the " + std::wstring(what) + L" for the window: the system has no memory for a bitmap of " +
                           ToDecimalDigits(width) + L" x " + ToDecimalDigits(height) + L" pixels.");
}

}  // namespace

int ScaleForDpi(int length, int dpi)
{
    return int((std::int64_t(length) * dpi + 48) / 96);
}

PixelImage ResizeImage(const PixelImage& image, int width, int height)
{
    PixelImage out;
    out.width = width;
    out.height = height;
    out.pixels.resize(BufferSize<std::uint32_t>(width, height, 1));
    std::vector<Tap> across = Taps(image.width, width), down = Taps(image.height, height);
    // Horizontal pass into floats, then the vertical pass into pixels.
    std::vector<float> rows(BufferSize<float>(width, image.height, 4));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < width; ++x) {
            const Tap& tap = across[size_t(x)];
            float* acc = &rows[(size_t(y) * width + x) * 4];
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                std::uint32_t p = image.pixels[size_t(y) * image.width + tap.first + int(k)];
                for (int c = 0; c < 4; ++c) acc[c] += tap.weights[k] * float((p >> (8 * c)) & 0xFF);
            }
        }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Tap& tap = down[size_t(y)];
            float acc[4] = {};
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const float* src = &rows[(size_t(tap.first + int(k)) * width + x) * 4];
                for (int c = 0; c < 4; ++c) acc[c] += tap.weights[k] * src[c];
            }
            std::uint32_t pixel = 0;
            for (int c = 0; c < 4; ++c) pixel |= std::uint32_t(std::clamp(acc[c] + 0.5f, 0.0f, 255.0f)) << (8 * c);
            out.pixels[size_t(y) * width + x] = pixel;
        }
    return out;
}

std::uint32_t BlendOver(std::uint32_t premultiplied, std::uint32_t colour)
{
    // The colour's red is in its lowest byte, the image's blue in its own.
    const std::uint32_t back[3] = {(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF};
    const std::uint32_t alpha = premultiplied >> 24;
    std::uint32_t pixel = 0;
    for (int c = 0; c < 3; ++c) {
        std::uint32_t v = ((premultiplied >> (8 * c)) & 0xFF) + (back[c] * (255 - alpha) + 127) / 255;
        pixel |= std::min<std::uint32_t>(v, 255) << (8 * c);
    }
    return pixel;
}

std::uint32_t Unpremultiply(std::uint32_t premultiplied)
{
    const std::uint32_t alpha = premultiplied >> 24;
    if (alpha == 0) return 0;
    std::uint32_t pixel = alpha << 24;
    for (int c = 0; c < 3; ++c) {
        std::uint32_t v = (premultiplied >> (8 * c)) & 0xFF;
        pixel |= std::min<std::uint32_t>(255, (v * 255 + alpha / 2) / alpha) << (8 * c);
    }
    return pixel;
}

void PrepareComposite(const PixelImage& picture, std::uint32_t colour, int dpi, PixelTarget& target)
{
    const int width = std::max(1, ScaleForDpi(picture.width, dpi)), height = std::max(1, ScaleForDpi(picture.height, dpi));
    const bool scaled = width != picture.width || height != picture.height;
    PixelImage resized;
    if (scaled) resized = ResizeImage(picture, width, height);
    const PixelImage& source = scaled ? resized : picture;
    std::uint32_t* out = TargetPixels(target, width, height, L"picture");
    for (size_t i = 0; i < source.pixels.size(); ++i) out[i] = BlendOver(source.pixels[i], colour);
}

void PrepareIcon(const PixelImage& image, int size, PixelTarget& target)
{
    // Fit the image into size x size, keeping its aspect ratio, centred.
    double scale = std::max(double(image.width) / size, double(image.height) / size);
    int drawnW = std::clamp(int(image.width / scale + 0.5), 1, size);
    int drawnH = std::clamp(int(image.height / scale + 0.5), 1, size);
    PixelImage fitted = ResizeImage(image, drawnW, drawnH);
    int offX = (size - drawnW) / 2, offY = (size - drawnH) / 2;

    std::uint32_t* out = TargetPixels(target, size, size, L"icon");
    std::fill(out, out + size_t(size) * size, 0u);
    for (int y = 0; y < drawnH; ++y)
        for (int x = 0; x < drawnW; ++x)
            out[size_t(y + offY) * size + size_t(x + offX)] = Unpremultiply(fitted.pixels[size_t(y) * drawnW + x]);
}

}  // namespace trelvo

#include "platform/Win32Imaging.h"

#include <algorithm>
#include <cmath>

#include "config/TextConversions.h"
#include "window/ImageChecks.h"

#include <string>

namespace trelvo::win32 {
namespace {

// The GDI+ flat API, declared here so no GDI+ header is needed.
using GpStatus = int;
struct GpBitmap;
struct GpStartupInput {
    UINT32 version = 1;
    void* debugCallback = nullptr;
    BOOL suppressBackgroundThread = TRUE;  // the launcher keeps one thread
    BOOL suppressExternalCodecs = TRUE;
};
struct GpRect {
    INT x, y, width, height;
};
struct GpBitmapData {
    UINT width, height;
    INT stride;
    INT pixelFormat;
    void* scan0;
    UINT_PTR reserved;
};
constexpr INT kPixelFormat32bppPARGB = 0x000E200B;
constexpr UINT kLockRead = 1, kLockUserBuffer = 4;

class Gdiplus {
public:
    using Startup = GpStatus(WINAPI*)(ULONG_PTR*, const GpStartupInput*, void*);
    using CreateFromFile = GpStatus(WINAPI*)(const WCHAR*, GpBitmap**);
    using GetSize = GpStatus(WINAPI*)(GpBitmap*, UINT*);
    using LockBits = GpStatus(WINAPI*)(GpBitmap*, const GpRect*, UINT, INT, GpBitmapData*);
    using UnlockBits = GpStatus(WINAPI*)(GpBitmap*, GpBitmapData*);
    using Dispose = GpStatus(WINAPI*)(GpBitmap*);

    static Gdiplus& Instance()
    {
        static Gdiplus gdiplus;
        return gdiplus;
    }

    bool ready = false;
    CreateFromFile createFromFile = nullptr;
    GetSize width = nullptr, height = nullptr;
    LockBits lockBits = nullptr;
    UnlockBits unlockBits = nullptr;
    Dispose dispose = nullptr;

private:
    Gdiplus() : library_(LoadSystemLibrary(L"gdiplus.dll"))
    {
        if (!library_) return;
        auto startup = Find<Startup>("GdiplusStartup");
        createFromFile = Find<CreateFromFile>("GdipCreateBitmapFromFile");
        width = Find<GetSize>("GdipGetImageWidth");
        height = Find<GetSize>("GdipGetImageHeight");
        lockBits = Find<LockBits>("GdipBitmapLockBits");
        unlockBits = Find<UnlockBits>("GdipBitmapUnlockBits");
        dispose = Find<Dispose>("GdipDisposeImage");
        GpStartupInput input;
        void* hooks[2] = {};
        ready = startup && createFromFile && width && height && lockBits && unlockBits && dispose &&
                startup(&token_, &input, hooks) == 0;
    }

    template <typename F>
    F Find(const char* name)
    {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library_.get(), name)));
    }

    UniqueLibrary library_;
    ULONG_PTR token_ = 0;
};

std::wstring StatusText(GpStatus status)
{
    switch (status) {
    case 1:
    case 2: return image_reason::kDamaged;
    case 3: return image_reason::kOutOfMemory;
    case 6: return image_reason::kUnsupported;
    case 10: return image_reason::kNotFound;
    case 12: return image_reason::kDenied;
    case 13: return image_reason::kUnknownFormat;
    default: return L"the image cannot be decoded (GDI+ status " + ToDecimalDigits(status) + L")";
    }
}

[[noreturn]] void Fail(const wchar_t* what, const std::wstring& path, const std::wstring& reason)
{
    throw UncheckedFailure(ImageFailureText(what, path, reason));
}

struct BitmapOwner {
    GpBitmap* bitmap = nullptr;
    ~BitmapOwner()
    {
        if (bitmap) Gdiplus::Instance().dispose(bitmap);
    }
};

// The first bytes of the file, to pick the decoder, and the file's size.
std::string FileHead(const std::wstring& path, DWORD bytes, UINT64& fileSize)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    fileSize = 0;
    if (file.get() == INVALID_HANDLE_VALUE) return {};
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size)) fileSize = UINT64(size.QuadPart);
    std::string head(bytes, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), head.data(), bytes, &read, nullptr)) read = 0;
    head.resize(read);
    return head;
}

void CheckSize(const wchar_t* what, const std::wstring& path, UINT64 width, UINT64 height)
{
    if (std::optional<std::wstring> reason = CheckImageSize(width, height)) Fail(what, path, *reason);
}

// BMP files are decoded by the system's own bitmap loader (after the header
// checks): no imaging library is loaded for them. Null when that loader
// cannot open the file (a path longer than it takes): GDI+ then decodes it.
std::unique_ptr<DecodedImage> DecodeBitmap(const std::wstring& path, const wchar_t* what)
{
    GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (!bitmap) return nullptr;
    BITMAP info{};
    GetObjectW(bitmap.get(), sizeof info, &info);
    auto image = std::make_unique<DecodedImage>();
    image->width = info.bmWidth;
    image->height = info.bmHeight;
    image->pixels.resize(size_t(info.bmWidth) * info.bmHeight);
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = info.bmWidth;
    request.bmiHeader.biHeight = -info.bmHeight;  // top row first
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, bitmap.get(), 0, UINT(info.bmHeight), image->pixels.data(), &request, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != info.bmHeight) Fail(what, path, L"the file is damaged or is not an image");
    for (auto& pixel : image->pixels) pixel |= 0xFF000000u;  // bitmaps are opaque
    return image;
}

}  // namespace

std::unique_ptr<DecodedImage> DecodeImage(const std::wstring& path, const wchar_t* what)
{
    UINT64 fileSize = 0;
    std::string head = FileHead(path, DWORD(kImageHeadBytes), fileSize);
    if (std::optional<std::wstring> reason = CheckImageHead(head, fileSize)) Fail(what, path, *reason);
    if (SniffImageFormat(head) == ImageFormat::Bmp) {
        if (auto image = DecodeBitmap(path, what)) return image;
    }

    Gdiplus& gdiplus = Gdiplus::Instance();
    if (!gdiplus.ready) Fail(what, path, L"the system's image decoder (GDI+) is not available");

    // The decoder keeps the file open until the bitmap is disposed; the pixels
    // are copied out at once so that no file stays open.
    BitmapOwner owner;
    if (GpStatus status = gdiplus.createFromFile(path.c_str(), &owner.bitmap); status != 0)
        Fail(what, path, StatusText(status));
    UINT width = 0, height = 0;
    gdiplus.width(owner.bitmap, &width);
    gdiplus.height(owner.bitmap, &height);
    CheckSize(what, path, width, height);

    auto image = std::make_unique<DecodedImage>();
    image->width = int(width);
    image->height = int(height);
    image->pixels.resize(size_t(width) * height);
    GpRect rect{0, 0, INT(width), INT(height)};
    GpBitmapData data{width, height, INT(width * 4), kPixelFormat32bppPARGB, image->pixels.data(), 0};
    if (GpStatus status = gdiplus.lockBits(owner.bitmap, &rect, kLockRead | kLockUserBuffer,
                                           kPixelFormat32bppPARGB, &data);
        status != 0)
        Fail(what, path, StatusText(status));
    gdiplus.unlockBits(owner.bitmap, &data);
    return image;
}

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

}  // namespace

std::unique_ptr<DecodedImage> ResizeImage(const DecodedImage& image, int width, int height)
{
    auto out = std::make_unique<DecodedImage>();
    out->width = width;
    out->height = height;
    out->pixels.resize(size_t(width) * height);
    std::vector<Tap> across = Taps(image.width, width), down = Taps(image.height, height);
    // Horizontal pass into floats, then the vertical pass into pixels.
    std::vector<float> rows(size_t(width) * image.height * 4);
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
            out->pixels[size_t(y) * width + x] = pixel;
        }
    return out;
}

GdiObject<HBITMAP> CreateTopDownDib(int width, int height, std::uint32_t** bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* pixels = nullptr;
    GdiObject<HBITMAP> dib(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    *bits = static_cast<std::uint32_t*>(pixels);
    return dib;
}

UniqueIcon IconFromImage(const DecodedImage& image, int size)
{
    // Fit the image into size x size, keeping its aspect ratio, centred.
    double scale = std::max(double(image.width) / size, double(image.height) / size);
    int drawnW = std::clamp(int(image.width / scale + 0.5), 1, size);
    int drawnH = std::clamp(int(image.height / scale + 0.5), 1, size);
    std::unique_ptr<DecodedImage> fitted = ResizeImage(image, drawnW, drawnH);
    int offX = (size - drawnW) / 2, offY = (size - drawnH) / 2;

    std::uint32_t* out = nullptr;
    GdiObject<HBITMAP> colour = CreateTopDownDib(size, size, &out);
    // An all-zero AND mask: the alpha channel alone decides what shows.
    std::vector<std::uint8_t> zeros(size_t((size + 15) / 16 * 2) * size, 0);
    GdiObject<HBITMAP> mask(CreateBitmap(size, size, 1, 1, zeros.data()));
    if (!colour || !mask) return nullptr;
    std::fill(out, out + size * size, 0u);
    for (int y = 0; y < drawnH; ++y)
        for (int x = 0; x < drawnW; ++x) {
            // Icons take straight alpha, not premultiplied.
            std::uint32_t p = fitted->pixels[size_t(y) * drawnW + x], a = p >> 24, pixel = a << 24;
            for (int c = 0; c < 3; ++c) {
                std::uint32_t v = (p >> (8 * c)) & 0xFF;
                pixel |= (a ? std::min<std::uint32_t>(255, v * 255 / a) : 0) << (8 * c);
            }
            out[(y + offY) * size + (x + offX)] = pixel;
        }
    ICONINFO iconInfo{TRUE, 0, 0, mask.get(), colour.get()};
    return UniqueIcon(CreateIconIndirect(&iconInfo));
}

}  // namespace trelvo::win32

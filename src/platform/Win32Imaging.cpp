#include "platform/Win32Imaging.h"

#include <algorithm>

#include "config/TextConversions.h"
#include "platform/Win32System.h"

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

// Larger pictures are refused before any pixel memory is taken.
constexpr UINT kMaxSide = 16384;
constexpr UINT64 kMaxPixels = 64ull * 1024 * 1024;

using GdiplusStartupFn = GpStatus WINAPI(ULONG_PTR*, const GpStartupInput*, void*);
using CreateFromFileFn = GpStatus WINAPI(const WCHAR*, GpBitmap**);
using GetSizeFn = GpStatus WINAPI(GpBitmap*, UINT*);
using LockBitsFn = GpStatus WINAPI(GpBitmap*, const GpRect*, UINT, INT, GpBitmapData*);
using UnlockBitsFn = GpStatus WINAPI(GpBitmap*, GpBitmapData*);
using DisposeFn = GpStatus WINAPI(GpBitmap*);

inline constinit SystemFunction<GdiplusStartupFn> GdiplusStartup{SystemLibrary::Gdiplus, "GdiplusStartup"};
inline constinit SystemFunction<CreateFromFileFn> GdipCreateBitmapFromFile{SystemLibrary::Gdiplus, "GdipCreateBitmapFromFile"};
inline constinit SystemFunction<GetSizeFn> GdipGetImageWidth{SystemLibrary::Gdiplus, "GdipGetImageWidth"};
inline constinit SystemFunction<GetSizeFn> GdipGetImageHeight{SystemLibrary::Gdiplus, "GdipGetImageHeight"};
inline constinit SystemFunction<LockBitsFn> GdipBitmapLockBits{SystemLibrary::Gdiplus, "GdipBitmapLockBits"};
inline constinit SystemFunction<UnlockBitsFn> GdipBitmapUnlockBits{SystemLibrary::Gdiplus, "GdipBitmapUnlockBits"};
inline constinit SystemFunction<DisposeFn> GdipDisposeImage{SystemLibrary::Gdiplus, "GdipDisposeImage"};

// GDI+ started once, on the first image that needs it; false when the system
// lacks it or any function the decoding uses.
bool GdiplusReady()
{
    static const bool ready = [] {
        if (!GdiplusStartup.Find() || !GdipCreateBitmapFromFile.Find() || !GdipGetImageWidth.Find() ||
            !GdipGetImageHeight.Find() || !GdipBitmapLockBits.Find() || !GdipBitmapUnlockBits.Find() ||
            !GdipDisposeImage.Find())
            return false;
        ULONG_PTR token = 0;  // kept: GDI+ stays up until the process ends
        GpStartupInput input;
        void* hooks[2] = {};
        return GdiplusStartup(&token, &input, hooks) == 0;
    }();
    return ready;
}

std::wstring StatusText(GpStatus status)
{
    switch (status) {
    case 1:
    case 2: return L"the file is damaged or is not an image";
    case 3: return L"there is not enough memory to decode it (the image may be too large)";
    case 6: return L"its image format is not supported";
    case 10: return L"the file cannot be found";
    case 12: return L"access to the file is denied";
    case 13: return L"it is not an image in a format Trelvo reads (BMP, GIF, JPEG, PNG, ICO, TIFF)";
    default: return L"the image cannot be decoded (GDI+ status " + ToDecimalDigits(status) + L")";
    }
}

[[noreturn]] void Fail(const wchar_t* what, const std::wstring& path, const std::wstring& reason)
{
    throw UncheckedFailure(L"Couldn't load the " + std::wstring(what) + L" " + path + L": " + reason + L".");
}

struct BitmapOwner {
    GpBitmap* bitmap = nullptr;
    BitmapOwner() = default;
    BitmapOwner(const BitmapOwner&) = delete;
    BitmapOwner& operator=(const BitmapOwner&) = delete;
    ~BitmapOwner()
    {
        if (bitmap) GdipDisposeImage(bitmap);
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
    if (width == 0 || height == 0) Fail(what, path, L"the image is empty");
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
        Fail(what, path, L"the image is " + ToDecimalDigits(std::int64_t(width)) + L" x " +
                             ToDecimalDigits(std::int64_t(height)) + L" pixels, larger than Trelvo shows (" +
                             ToDecimalDigits(kMaxSide) + L" pixels a side at most)");
}

// BMP files are decoded by the system's own bitmap loader: no imaging library
// is loaded for them. Null when that loader cannot open the file (a path
// longer than it takes): GDI+ then decodes it.
std::unique_ptr<DecodedImage> DecodeBitmap(const std::wstring& path, const wchar_t* what, const std::string& head,
                                           UINT64 fileSize)
{
    if (head.size() < 26) Fail(what, path, L"the file is damaged or is not an image");
    auto field = [&](size_t at) {
        return std::int32_t(std::uint8_t(head[at]) | std::uint8_t(head[at + 1]) << 8 |
                            std::uint8_t(head[at + 2]) << 16 | std::uint32_t(std::uint8_t(head[at + 3])) << 24);
    };
    bool core = field(14) == 12;  // the old header with 16-bit sizes
    std::int64_t width = core ? (field(18) & 0xFFFF) : field(18);
    std::int64_t height = core ? ((field(18) >> 16) & 0xFFFF) : field(22);
    CheckSize(what, path, UINT64(width < 0 ? -width : width), UINT64(height < 0 ? -height : height));
    // The pixel rows must all be in the file: the system's loader is not
    // trusted with a truncated one.
    if (!core && head.size() >= 34) {
        std::uint32_t bits = std::uint16_t(std::uint8_t(head[28]) | std::uint8_t(head[29]) << 8);
        std::uint32_t compression = std::uint32_t(field(30));
        UINT64 stride = (UINT64(width < 0 ? -width : width) * bits + 31) / 32 * 4;
        UINT64 needed = UINT64(std::uint32_t(field(10))) + stride * UINT64(height < 0 ? -height : height);
        bool plain = compression == 0 || compression == 3;  // BI_RGB, BI_BITFIELDS
        if (bits == 0 || bits > 32 || (plain && needed > fileSize))
            Fail(what, path, L"the file is damaged (it is shorter than its pixels)");
    }

    GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (!bitmap) return nullptr;
    BITMAP info{};
    GetObjectW(bitmap.get(), sizeof info, &info);
    auto decoded = std::make_unique<DecodedImage>();
    PixelImage& image = decoded->image;
    image.width = info.bmWidth;
    image.height = info.bmHeight;
    image.pixels.resize(size_t(info.bmWidth) * info.bmHeight);
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = info.bmWidth;
    request.bmiHeader.biHeight = -info.bmHeight;  // top row first
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    ScreenDC screen;
    int rows = GetDIBits(screen.get(), bitmap.get(), 0, UINT(info.bmHeight), image.pixels.data(), &request, DIB_RGB_COLORS);
    if (rows != info.bmHeight) Fail(what, path, L"the file is damaged or is not an image");
    for (auto& pixel : image.pixels) pixel |= 0xFF000000u;  // bitmaps are opaque
    return decoded;
}

}  // namespace

std::unique_ptr<DecodedImage> DecodeImage(const std::wstring& path, const wchar_t* what)
{
    UINT64 fileSize = 0;
    std::string head = FileHead(path, 64, fileSize);
    if (head.empty()) Fail(what, path, L"the file is empty");
    if (head.size() >= 2 && head[0] == 'B' && head[1] == 'M') {
        if (auto image = DecodeBitmap(path, what, head, fileSize)) return image;
    }
    // The sizes that PNG and GIF headers claim are checked before any decoder
    // tries to take memory for them.
    auto byte = [&](size_t at) { return UINT64(std::uint8_t(head[at])); };
    if (head.size() >= 24 && head.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0)
        CheckSize(what, path, byte(16) << 24 | byte(17) << 16 | byte(18) << 8 | byte(19),
                  byte(20) << 24 | byte(21) << 16 | byte(22) << 8 | byte(23));
    if (head.size() >= 10 && (head.compare(0, 6, "GIF87a") == 0 || head.compare(0, 6, "GIF89a") == 0))
        CheckSize(what, path, byte(6) | byte(7) << 8, byte(8) | byte(9) << 8);

    if (!GdiplusReady()) Fail(what, path, L"the system's image decoder (GDI+) is not available");

    // The decoder keeps the file open until the bitmap is disposed; the pixels
    // are copied out at once so that no file stays open.
    BitmapOwner owner;
    if (GpStatus status = GdipCreateBitmapFromFile(path.c_str(), &owner.bitmap); status != 0)
        Fail(what, path, StatusText(status));
    UINT width = 0, height = 0;
    GdipGetImageWidth(owner.bitmap, &width);
    GdipGetImageHeight(owner.bitmap, &height);
    CheckSize(what, path, width, height);

    auto decoded = std::make_unique<DecodedImage>();
    PixelImage& image = decoded->image;
    image.width = int(width);
    image.height = int(height);
    image.pixels.resize(size_t(width) * height);
    GpRect rect{0, 0, INT(width), INT(height)};
    GpBitmapData data{width, height, INT(width * 4), kPixelFormat32bppPARGB, image.pixels.data(), 0};
    if (GpStatus status = GdipBitmapLockBits(owner.bitmap, &rect, kLockRead | kLockUserBuffer,
                                             kPixelFormat32bppPARGB, &data);
        status != 0)
        Fail(what, path, StatusText(status));
    GdipBitmapUnlockBits(owner.bitmap, &data);
    return decoded;
}

std::uint32_t* DibSection::Pixels(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* pixels = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    width_ = bitmap_ ? width : 0;
    height_ = bitmap_ ? height : 0;
    return bitmap_ ? static_cast<std::uint32_t*>(pixels) : nullptr;
}

UniqueIcon IconFromImage(const PixelImage& image, int size)
{
    DibSection colour;
    PrepareIcon(image, size, colour);
    // An all-zero AND mask: the alpha channel alone decides what shows.
    std::vector<std::uint8_t> zeros(size_t((size + 15) / 16 * 2) * size, 0);
    GdiObject<HBITMAP> mask(CreateBitmap(size, size, 1, 1, zeros.data()));
    ICONINFO iconInfo{TRUE, 0, 0, mask.get(), colour.get()};
    UniqueIcon icon(mask ? CreateIconIndirect(&iconInfo) : nullptr);
    if (!icon)
        throw UncheckedFailure(L"Couldn't make the window icon of " + ToDecimalDigits(size) + L" x " +
                               ToDecimalDigits(size) + L" pixels: " + SystemErrorText(GetLastError()));
    return icon;
}

}  // namespace trelvo::win32
